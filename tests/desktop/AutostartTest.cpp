#include "desktop/Autostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(Autostart, ExecIsTheQuotedFullPathWhateverItHolds)
{
    const std::pair<QString, QString> cases[] = {
        {"/opt/tarnwicker/tarnwicker", "\"/opt/tarnwicker/tarnwicker\""},
        {"/home/值班 室/tarnwicker", "\"/home/值班 室/tarnwicker\""},
        {"/a\"b/t", "\"/a\\\\\"b/t\""},
        {"/a$HOME/t", "\"/a\\\\$HOME/t\""},
        {"/a`x`/t", "\"/a\\\\`x\\\\`/t\""},
        {"/a\\b/t", "\"/a\\\\\\\\b/t\""}, // a literal backslash takes four
        {"/100%/t", "\"/100%%/t\""},
        {"/a\nb/t", "\"/a\\nb/t\""},
    };
    for (const auto& [path, exec] : cases)
        EXPECT_EQ(Autostart::quotedExec(path), exec) << path.toStdString();
}

TEST(Autostart, WritesTheEntryAndRewritesIt)
{
    const QTemporaryDir tmp;
    const QString folder = QDir(tmp.path()).filePath("etc/xdg/autostart"); // missing: created
    const Autostart autostart("/opt/tw dir/tarnwicker", "/home/值班/tw data", folder);
    EXPECT_EQ(autostart.entryPath(), folder + "/tarnwicker.desktop");

    ASSERT_TRUE(autostart.write());
    const QByteArray entry = readAll(autostart.entryPath());
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    // The program started at login uses the same folder, hence the same settings and lists.
    EXPECT_TRUE(entry.contains(
        QStringLiteral("\nExec=\"/opt/tw dir/tarnwicker\" --data-dir \"/home/值班/tw data\"\n").toUtf8()));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nName=Tarnwicker网络检测员V2.0\n").toUtf8()));
    EXPECT_TRUE(QFileInfo(autostart.entryPath()).permissions().testFlag(QFileDevice::ReadOther));

    // An entry changed by hand, or left by a copy in another folder, is written anew.
    {
        QFile file(autostart.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Desktop Entry]\nExec=/old/place/tarnwicker\n");
    }
    const Autostart moved("/srv/tarnwicker", "/srv/data", folder);
    ASSERT_TRUE(moved.write());
    EXPECT_EQ(readAll(moved.entryPath()), Autostart::desktopEntry(Autostart::execLine("/srv/tarnwicker", "/srv/data")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"tarnwicker.desktop"});
}

TEST(Autostart, RootWritesTheMachineWideEntryAnyOtherUserHisOwn)
{
    if (geteuid() == 0)
        EXPECT_EQ(Autostart::defaultLocation(), "/etc/xdg/autostart");
    else
        EXPECT_EQ(Autostart::defaultLocation(), QDir::homePath() + "/.config/autostart");
}

TEST(Autostart, AFolderThatCannotBeWrittenFails)
{
    const QTemporaryDir tmp;
    // A file where the folder should be stops even root.
    const QString blocker = QDir(tmp.path()).filePath("autostart");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    for (const QString& folder : {blocker, blocker + "/deeper"}) {
        QString reason;
        EXPECT_FALSE(Autostart("/opt/tarnwicker", "/srv", folder).write(&reason));
        EXPECT_FALSE(reason.isEmpty()) << folder.toStdString();
    }
}

TEST(Autostart, AReadOnlyFolderFails)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "a read-only folder does not stop root (AFolderThatCannotBeWrittenFails covers root)";
    const QTemporaryDir tmp;
    const QString readOnly = QDir(tmp.path()).filePath("ro");
    ASSERT_TRUE(QDir().mkpath(readOnly));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString reason;
    EXPECT_FALSE(Autostart("/opt/tarnwicker", "/srv", readOnly).write(&reason));
    EXPECT_EQ(reason, QStringLiteral("Permission denied"));
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
