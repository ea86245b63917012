#include "alarm/MailAddress.h"
#include "MailTestPrinters.h"

#include <gtest/gtest.h>

// Readable output of a failed comparison of address lists.
void PrintTo(const MailAddress& a, std::ostream* out)
{
    *out << "[" << a.name.toStdString() << "|" << a.address.toStdString() << "]";
}

TEST(MailAddressList, ReadsTheRecipientFieldAsTheOperatorTypesIt)
{
    struct Case {
        QString text;
        QList<MailAddress> expected;
    };
    const Case cases[] = {
        {"ops@example.com", {{"", "ops@example.com"}}},
        {"a@example.com;b@example.com", {{"", "a@example.com"}, {"", "b@example.com"}}},
        {" a@example.com ,, ; b@example.com ; ", {{"", "a@example.com"}, {"", "b@example.com"}}},
        {"\"Zhang, San\" <zs@example.cn>; Li Si <ls@example.cn>",
         {{"Zhang, San", "zs@example.cn"}, {"Li Si", "ls@example.cn"}}},
        {"张三 <zs@example.cn>", {{"张三", "zs@example.cn"}}},
        {"Duty team: a@example.com, b@example.com;", {{"", "a@example.com"}, {"", "b@example.com"}}},
        {"Ops:Night <n@example.com>", {{"Night", "n@example.com"}}},
        {"a@example.com (desk, phone; fax), b@example.com", {{"", "a@example.com"}, {"", "b@example.com"}}},
        {"Back\\,slash <x@example.com>", {{"Back,slash", "x@example.com"}}},
        {"\"Say \\\"hi\\\"\" <x@example.com>", {{"Say \"hi\"", "x@example.com"}}},
        {"<>; Nobody <>; <a@example.com>", {{"", "a@example.com"}}},
        {"Open <a@example.com", {{"Open", "a@example.com"}}},
        {"\"quoted local\"@example.com", {{"", "\"quoted local\"@example.com"}}},
        {"", {}},
        {";;;,,, ;", {}},
        {"(only a comment)", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MailAddressList::parse(c.text), c.expected) << c.text.toStdString();
}

TEST(MailAddressList, UnbalancedQuotesAndBracketsNeverLoseTheTextSilently)
{
    // An open quote swallows the separators after it: one piece, handed to the server as it is.
    EXPECT_EQ(MailAddressList::parse("\"a@example.com, b@example.com").size(), 1);
    EXPECT_EQ(MailAddressList::parse("(a@example.com, b@example.com").size(), 0);
    EXPECT_EQ(MailAddressList::parse("a@example.com) , b@example.com").size(), 2);
    EXPECT_EQ(MailAddressList::parse("\\").size(), 0);
    EXPECT_EQ(MailAddressList::parse("\"\"\"\";;,,\"").size(), 0);
}
