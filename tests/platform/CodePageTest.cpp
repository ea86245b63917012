#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ChineseTextIsTwoBytesPerCharacterInGbk)
{
    const QByteArray gbk = CodePage::toGbk(QStringLiteral("本地地址"));
    EXPECT_EQ(gbk, QByteArray("\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7"));
    EXPECT_EQ(CodePage::fromGbk(gbk), QStringLiteral("本地地址"));
}

TEST(CodePage, SeparatorsBesideChineseSurviveTheRoundTrip)
{
    const QString text = QStringLiteral("127.0.0.1:本地=100%,0：全角");
    EXPECT_EQ(CodePage::fromGbk(CodePage::toGbk(text)), text);
}

TEST(CodePage, EveryCharacterGbkCannotHoldBecomesAQuestionMark)
{
    const struct {
        QString text;
        QByteArray gbk;
    } cases[] = {
        {QStringLiteral("a\uFE02b"), "a?b"},                  // variation selector
        {QStringLiteral("a\u00ADb"), "a?b"},                  // soft hyphen
        {QStringLiteral("a\u200Bb\u200Dc"), "a?b?c"},         // zero-width space and joiner
        {QStringLiteral("\uFEFF\u6C34\uFE0F"), "?\xcb\xae?"}, // byte-order mark, 水, emoji selector
        {QStringLiteral("a") + QChar(0xD83D), "a?"},          // lone surrogate at the end
        {QStringLiteral("a") + QChar(0xDE00) + QStringLiteral("b") + QChar(0xD83D) + QStringLiteral("c"), "a?b?c"},
        {QStringLiteral("\U0001F600\u00e9"), "?\xa8\xa6"}, // emoji, é
    };
    for (const auto& c : cases) {
        const QByteArray gbk = CodePage::toGbk(c.text);
        EXPECT_EQ(gbk, c.gbk) << c.text.toStdString();
        EXPECT_NE(CodePage::fromGbk(gbk), c.text); // the round trip shows the loss
    }
}

TEST(CodePage, TextThatWouldNotComeBackByteForByteIsNotGbk)
{
    const QByteArray cases[] = {
        QByteArray("a\xff b"), // undefined byte
        QByteArray("a\x81"),   // lead byte cut off at the end
        QByteArray("a\x81 b"), // lead byte followed by a blank
        QByteArray("a\0b", 3), // binary
    };
    for (const QByteArray& bad : cases) {
        EXPECT_FALSE(CodePage::isValidGbk(bad)) << bad.toHex().toStdString();
        EXPECT_TRUE(CodePage::fromGbk(bad).startsWith(u'a'));
    }
    EXPECT_TRUE(CodePage::isValidGbk(QByteArray("\xb1\xbe\x80 ascii"))); // 0x80 is the euro sign in code page 936
    EXPECT_TRUE(CodePage::isValidGbk(QByteArray()));
}

// Station names as operators give them, each on an address line of its own and all in one list:
// saved as GBK none may be taken for UTF-8 (several of them are valid UTF-8 too), saved as UTF-8 each is.
TEST(CodePage, OnlyAListSavedAsUtf8IsTakenForUtf8)
{
    const QStringList names = {
        QStringLiteral("A站"),          QStringLiteral("站"),         QStringLiteral("本地地址"),
        QStringLiteral("机房"),         QStringLiteral("北京总部"),   QStringLiteral("上海分公司"),
        QStringLiteral("核心交换机"),   QStringLiteral("财务部"),     QStringLiteral("办公楼3层"),
        QStringLiteral("监控中心"),     QStringLiteral("备用线路"),   QStringLiteral("深圳南山营业厅"),
        QStringLiteral("成都（备用）"), QStringLiteral("仓库·东区"),  QStringLiteral("路由器"),
        QStringLiteral("服务器A"),      QStringLiteral("一号楼"),     QStringLiteral("小"),
        QStringLiteral("乌鲁木齐机房"), QStringLiteral("鄂尔多斯"),   QStringLiteral("邯郸"),
        QStringLiteral("泸州"),         QStringLiteral("亳州"),       QStringLiteral("防火墙"),
        QStringLiteral("视频会议"),     QStringLiteral("网关：电信"),
    };
    QString list;
    for (const QString& name : names) {
        const QString line = QStringLiteral("198.51.100.1:%1=100%,0\r\n").arg(name);
        list += line;
        EXPECT_FALSE(CodePage::looksLikeUtf8(CodePage::toGbk(line))) << "GBK " << name.toStdString();
        EXPECT_TRUE(CodePage::looksLikeUtf8(line.toUtf8())) << "UTF-8 " << name.toStdString();
    }
    EXPECT_FALSE(CodePage::looksLikeUtf8(CodePage::toGbk(list)));
    EXPECT_TRUE(CodePage::looksLikeUtf8(list.toUtf8()));
    EXPECT_TRUE(CodePage::looksLikeUtf8("\xEF\xBB\xBF" + list.toUtf8())); // as Notepad saves UTF-8
    EXPECT_FALSE(CodePage::looksLikeUtf8(QByteArray("127.0.0.1:plain ascii\r\n")));
    EXPECT_FALSE(CodePage::looksLikeUtf8(QStringLiteral("10.0.0.1:Zürich").toUtf8())); // no Chinese in it
}

TEST(CodePage, SplitLinesAcceptsEveryLineEnd)
{
    struct Case {
        QByteArray content;
        QList<QByteArray> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"", {}},
        {"\r\n", {""}},
        {"a\n\rb", {"a", "", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePage::splitLines(c.content), c.lines) << c.content.toStdString();
}

TEST(CodePage, JoinWritesCrLfAfterEveryLine)
{
    EXPECT_EQ(CodePage::joinCrLf({"a", "", "b"}), QByteArray("a\r\n\r\nb\r\n"));
    EXPECT_EQ(CodePage::joinCrLf({}), QByteArray());
}
