#include "monitor/SettingsStore.h"

#include "platform/AppError.h"
#include "platform/CodePage.h"

#include "ScratchMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A file as Windows stations leave it: GBK, CR LF, comments, an unknown section, odd spacing.
const QByteArray kWindowsFile = "; settings of the monitor\r\n"
                                "[PingPara]\r\n"
                                "PingCount=4\r\n"
                                "  qty = 60 \r\n"
                                "RTT=\"500\"\r\n"
                                "cbQty='yes'\r\n"
                                "\r\n"
                                "[Vendor]\r\n"
                                "Opaque=\xff\xfe raw\r\n"
                                "[Break]\r\n"
                                "127.0.0.1:\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7=C:\\snd\\a.wav\r\n";

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Para.ini")); }
};

} // namespace

TEST_F(SettingsStoreTest, ReadsLikeTheProfileFunctions)
{
    writeAll(path(), kWindowsFile);
    SettingsStore store(path());
    EXPECT_EQ(store.read(QStringLiteral("pingpara"), QStringLiteral("PINGCOUNT")), QStringLiteral("4"));
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("Qty")), QStringLiteral("60"));
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("RTT")), QStringLiteral("500"));
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("cbQty")), QStringLiteral("yes"));
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("Missing"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(store.read(QStringLiteral("NoSection"), QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(store.read(QStringLiteral("Break"), QStringLiteral("127.0.0.1:本地地址")),
              QStringLiteral("C:\\snd\\a.wav"));
    // A comment line is not a key, and a key of another section is not found here.
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("Opaque")), QString());
}

TEST_F(SettingsStoreTest, WritingOneKeyKeepsEveryOtherLineByteForByte)
{
    writeAll(path(), kWindowsFile);
    SettingsStore store(path());
    store.write(QStringLiteral("PINGPARA"), QStringLiteral("Qty"), QStringLiteral("70"));
    QByteArray expected = kWindowsFile;
    expected.replace("  qty = 60 \r\n", "qty=70\r\n");
    EXPECT_EQ(readAll(path()), expected);
}

TEST_F(SettingsStoreTest, NewKeysJoinTheirSectionAndNewSectionsGoAtTheEnd)
{
    writeAll(path(), kWindowsFile);
    SettingsStore store(path());
    store.write(QStringLiteral("PingPara"), QStringLiteral("A1"), QStringLiteral("1"));
    store.write(QStringLiteral("EmailPara"), QStringLiteral("SendPort"), QStringLiteral("25"));
    store.write(QStringLiteral("Break"), QStringLiteral("10.0.0.1:机房"), QStringLiteral("机房.wav"));
    const QByteArray content = readAll(path());
    EXPECT_TRUE(content.contains("cbQty='yes'\r\nA1=1\r\n\r\n[Vendor]")) << content.toStdString();
    EXPECT_TRUE(content.contains("[EmailPara]\r\nSendPort=25\r\n"));
    EXPECT_EQ(store.read(QStringLiteral("break"), QStringLiteral("10.0.0.1:机房")), QStringLiteral("机房.wav"));
    EXPECT_TRUE(content.contains(CodePage::toGbk(QStringLiteral("10.0.0.1:机房=机房.wav\r\n"))));
    EXPECT_TRUE(content.contains("Opaque=\xff\xfe raw\r\n"));
}

TEST_F(SettingsStoreTest, MissingFileReadsDefaultsAndIsCreatedByTheFirstWrite)
{
    SettingsStore store(path());
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("PingCount"), QStringLiteral("4")),
              QStringLiteral("4"));
    EXPECT_FALSE(QFile::exists(path()));
    store.write(QStringLiteral("PingPara"), QStringLiteral("PingCount"), QStringLiteral("5"));
    EXPECT_EQ(readAll(path()), QByteArray("[PingPara]\r\nPingCount=5\r\n"));
}

TEST_F(SettingsStoreTest, ValuesAreOneLineAndReadBackAtMost2047Characters)
{
    SettingsStore store(path());
    store.write(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\r\nInjected=1"));
    EXPECT_EQ(store.read(QStringLiteral("S"), QStringLiteral("Injected")), QString());
    store.write(QStringLiteral("S"), QStringLiteral("long"), QString(5000, u'x'));
    EXPECT_EQ(store.read(QStringLiteral("S"), QStringLiteral("long")).size(), 2047);
}

TEST_F(SettingsStoreTest, AFailedWriteRaisesTheProfileError)
{
    // A folder that does not exist cannot be written, whatever the rights of the account.
    const QString missing = dir.filePath(QStringLiteral("missing/Para.ini"));
    SettingsStore store(missing);
    try {
        store.write(QStringLiteral("PingPara"), QStringLiteral("Qty"), QStringLiteral("1"));
        FAIL() << "write into a missing folder succeeded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Unable to write to ") + missing);
    }
}

TEST_F(SettingsStoreTest, AnUnreadableFileIsNeverReplaced)
{
    const QString sub = dir.filePath(QStringLiteral("sub"));
    QDir().mkdir(sub);
    const QString file = sub + QStringLiteral("/Para.ini");
    QDir().mkdir(file); // a folder where the file should be: it exists but cannot be read as a file
    SettingsStore store(file);
    EXPECT_THROW(store.write(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")), AppError);
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST(SettingsStoreOnAFullDisk, AFailedWriteLeavesTheFileWhole)
{
    ScratchMount disk;
    if (disk.unavailable())
        GTEST_SKIP() << disk.unavailable();
    const QString path = disk.filePath(QStringLiteral("Para.ini"));
    writeAll(path, kWindowsFile);
    disk.fill();
    SettingsStore store(path);
    try {
        store.write(QStringLiteral("PingPara"), QStringLiteral("PingCount"), QStringLiteral("10"));
        FAIL() << "a write on a full disk succeeded";
    } catch (const AppError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Unable to write to ") + path);
    }
    EXPECT_EQ(readAll(path), kWindowsFile);
    EXPECT_EQ(store.read(QStringLiteral("PingPara"), QStringLiteral("PingCount")), QStringLiteral("4"));
}
