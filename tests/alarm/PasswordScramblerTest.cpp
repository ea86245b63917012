#include "alarm/PasswordScrambler.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(PasswordScrambler, MatchesAVectorWorkedOutByHand)
{
    // r = 0x10; 'a': (16 + 97) mod 255 = 113, 113 xor 'Z'(90) = 0x2B; 'b': (43 + 98) mod 255 = 141,
    // 141 xor 90 = 0xD7.
    EXPECT_EQ(PasswordScrambler::scramble(QStringLiteral("ab"), std::nullopt, 0x10), QStringLiteral("102BD7"));
    EXPECT_EQ(PasswordScrambler::unscramble(QStringLiteral("102BD7")), QStringLiteral("ab"));
    EXPECT_EQ(PasswordScrambler::unscramble(QStringLiteral("102bd7")), QStringLiteral("ab"));
}

TEST(PasswordScrambler, AGivenKeyIsCycledThroughAllItsBytes)
{
    // Key "AB": 'a' -> (16 + 97) = 113 xor 'A'(65) = 0x30; 'a' -> (48 + 97) = 145 xor 'B'(66) = 0xD3;
    // 'a' -> (211 + 97) mod 255 = 53 xor 'A' = 0x74.
    const QString form = PasswordScrambler::scramble(QStringLiteral("aaa"), QStringLiteral("AB"), 0x10);
    EXPECT_EQ(form, QStringLiteral("1030D374"));
    EXPECT_EQ(PasswordScrambler::unscramble(form, QStringLiteral("AB")), QStringLiteral("aaa"));
}

TEST(PasswordScrambler, RoundTripsEveryKindOfPassword)
{
    const QString passwords[] = {
        QStringLiteral("quillmoss"), QStringLiteral("P@ss w0rd!"), QStringLiteral("密码=100%,:"),
        QStringLiteral("~\x7f"),     QString(QChar(0x20)),         QStringLiteral("a"),
    };
    for (const QString& password : passwords) {
        for (int r : {0, 1, 0x7f, 0xfe, 0xff}) {
            const QString form = PasswordScrambler::scramble(password, std::nullopt, r);
            EXPECT_EQ(PasswordScrambler::unscramble(form), password) << form.toStdString();
        }
    }
}

TEST(PasswordScrambler, SamePasswordScramblesDifferentlyAndAlwaysInUpperHex)
{
    QSet<QString> forms;
    for (int i = 0; i < 20; ++i) {
        const QString form = PasswordScrambler::scramble(QStringLiteral("quillmoss"));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{20}$")).match(form).hasMatch()) << form.toStdString();
        EXPECT_EQ(PasswordScrambler::unscramble(form), QStringLiteral("quillmoss"));
        forms.insert(form);
    }
    EXPECT_GT(forms.size(), 1);
}

TEST(PasswordScrambler, EmptyPasswordIsTwoDigitsAndInvalidFormsGiveEmptyText)
{
    const QString empty = PasswordScrambler::scramble(QString());
    EXPECT_EQ(empty.size(), 2);
    EXPECT_EQ(PasswordScrambler::unscramble(empty), QString());
    for (const char* bad : {"", "   ", "ZZ2BD7", "10ZZ", "10", "1", "05 1", " 102BD7", "10+1"})
        EXPECT_EQ(PasswordScrambler::unscramble(QString::fromLatin1(bad)), QString()) << bad;
}

TEST(PasswordScrambler, ALoneTrailingDigitIsIgnored)
{
    EXPECT_EQ(PasswordScrambler::unscramble(QStringLiteral("102BD7F")), QStringLiteral("ab"));
}
