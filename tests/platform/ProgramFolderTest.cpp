#include "platform/ProgramFolder.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ProgramFolder, TheExecutablesFolderOnlyWhereItMayHoldFiles)
{
    const QTemporaryDir tmp;
    const struct {
        QString dataDir;
        QString executableDir;
        QString expected; // empty: the user's data folder
    } cases[] = {
        {tmp.path() + "/given", "/usr/bin", tmp.path() + "/given"},
        {"", tmp.path(), tmp.path()},
        {"", "/usr/bin", ""},       // the package manager's folder, even for root
        {"", "/usr/local/bin", ""}, // where make install puts it
        {"", tmp.path() + "/gone", ""},
    };
    for (const auto& c : cases) {
        const ProgramFolder folder = ProgramFolder::choose(c.dataDir, c.executableDir);
        const QString expected = c.expected.isEmpty() ? ProgramFolder::userDataDir() : c.expected;
        EXPECT_EQ(folder.path(), expected) << c.executableDir.toStdString();
        EXPECT_EQ(folder.isUserDataDir(), c.expected.isEmpty());
        EXPECT_EQ(folder.notice().isEmpty(), !c.expected.isEmpty());
    }
}

TEST(ProgramFolder, ANewUserDataFolderGetsTheAddressListAndKeepsItsOwnLater)
{
    const QTemporaryDir tmp;
    qputenv("XDG_DATA_HOME", QFile::encodeName(tmp.path() + "/data"));
    const ProgramFolder folder = ProgramFolder::choose({}, "/usr/bin");
    ASSERT_EQ(folder.path(), tmp.path() + "/data/tarnwicker");
    EXPECT_TRUE(folder.notice().endsWith("使用数据文件夹：" + folder.path()));

    folder.prepare();
    QFile list(folder.path() + "/Ip.txt");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), CodePage::toGbk(QStringLiteral("127.0.0.1:本地地址\r\n")));
    list.close();

    // Emptied by the operator: stays empty at the next start.
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.close();
    folder.prepare();
    EXPECT_EQ(QFileInfo(list).size(), 0);

    // A folder given by --data-dir is created, but nothing is put into it.
    const ProgramFolder given = ProgramFolder::choose(tmp.path() + "/given", "/usr/bin");
    given.prepare();
    EXPECT_TRUE(QFileInfo(given.path()).isDir());
    EXPECT_TRUE(QDir(given.path()).isEmpty());
    qunsetenv("XDG_DATA_HOME");
}
