#include "desktop/UsageText.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct PageCase {
    int index;
    QString caption;
    QString heading;
    int lineCount;
    QStringList groups; // captions of the group dividers, in order
};

const PageCase kPages[] = {
    {0, "Ping参数设置", "Ping参数设置模块：进行Ping操作的主界面，只要按需要设定一两个参数，按\"Ping\"即可。", 13, {}},
    {1,
     "声音报警设置",
     "声音报警设置模块：为实现使用声音报警功能所需要的参数设定。",
     20,
     {"地址列表", "报警声音选择", "录制报警声音"}},
    {2,
     "电话报警设置",
     "电话报警设置模块：为实现使用MODEM通过电话线进行语音报警的功能所需要的参数设定。",
     13,
     {"报警电话列表", "电话报警参数"}},
    {3,
     "邮件报警设置",
     "邮件报警设置模块：为实现当网络出现故障时能够通过电子邮件发送报警信息的功能所需要的参数设定。",
     12,
     {"收件人设置", "发件人设置"}},
    {4,
     "网络报警设置",
     "网络报警设置模块：为实现当某网络出现故障时能够通过正常的网络发送报警信息的功能所需要的参数设定。",
     17,
     {"接收方式", "接收报警主机IP地址", "报警信息格式"}},
};

} // namespace

TEST(UsageText, EverySectionHasItsHeadingLineCountAndClosingLine)
{
    for (const PageCase& page : kPages) {
        const QStringList lines = UsageText::section(page.index);
        ASSERT_EQ(lines.size(), page.lineCount) << page.index;
        EXPECT_EQ(lines.first(), page.heading) << page.index;
        EXPECT_EQ(lines.last(), QString(7, u' ')) << page.index;
        EXPECT_EQ(UsageText::pageCaption(page.index), page.caption);
    }
    EXPECT_TRUE(UsageText::section(5).isEmpty());
    EXPECT_TRUE(UsageText::section(-1).isEmpty());
}

TEST(UsageText, GroupsAreEnclosedInEqualDividersAndItemsAreNumberedInOrder)
{
    const QRegularExpression numbered(QStringLiteral("^(\\d+)、\\S"));
    for (const PageCase& page : kPages) {
        const QStringList lines = UsageText::section(page.index);
        QStringList opened;
        QString open;
        int expectedNumber = 1;
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const QString& line = lines[i];
            if (line.startsWith(QStringLiteral("＝＝＝＝"))) {
                ASSERT_TRUE(line.endsWith(QStringLiteral("＝＝＝＝"))) << line.toStdString();
                const QString caption = line.mid(4, line.size() - 8);
                if (open.isEmpty()) {
                    open = caption;
                    opened.append(caption);
                } else {
                    EXPECT_EQ(caption, open) << "closing divider differs on page " << page.index;
                    open.clear();
                }
                continue;
            }
            if (page.index > 0) {
                EXPECT_FALSE(open.isEmpty()) << "item outside a group: " << line.toStdString();
            }
            const QRegularExpressionMatch match = numbered.match(line);
            if (match.hasMatch()) {
                EXPECT_EQ(match.captured(1).toInt(), expectedNumber) << line.toStdString();
                ++expectedNumber;
            } else {
                // A continuation line: indented with blanks, under an item.
                EXPECT_TRUE(line.startsWith(QStringLiteral("   ")) && !line.trimmed().isEmpty()) << line.toStdString();
                EXPECT_GT(expectedNumber, 1) << "continuation before the first item";
            }
        }
        EXPECT_TRUE(open.isEmpty()) << "unclosed group on page " << page.index;
        EXPECT_EQ(opened, page.groups) << page.index;
        EXPECT_GT(expectedNumber, 2) << page.index;
    }
}

TEST(UsageText, LinesForAPageStartWithTheTitle)
{
    const QStringList lines = UsageText::linesFor(4, QStringLiteral("网络报警设置"));
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines[0], QStringLiteral("使用说明 [网络报警设置]"));
    EXPECT_EQ(lines.mid(1), UsageText::section(4));
    EXPECT_EQ(UsageText::titleLine(QStringLiteral("声音报警设置")), QStringLiteral("使用说明 [声音报警设置]"));
    EXPECT_EQ(UsageText::divider(UsageText::Groups::kAlarmSounds), QStringLiteral("＝＝＝＝报警声音选择＝＝＝＝"));
}
