#include "records/HistoryFileName.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

TEST(HistoryFileName, EveryKeyMapsToOneSafeNameAndBack)
{
    const QStringList keys = {
        QStringLiteral("192.168.1.1:Router"),
        QStringLiteral("10.0.0.1:机房/交换机"),
        QStringLiteral("10.0.0.1:机房 交换机"),
        QStringLiteral("10.0.0.1:机房%交换机=100%,20"),
        QStringLiteral(".hidden"),
        QStringLiteral(".."),
        QStringLiteral("a%2Fb"), // looks like an escape, is a key
        QStringLiteral("a/b"),
        QStringLiteral("A:b"),
        QStringLiteral("a:b"),
        QStringLiteral("\\\\server\\share"),
    };
    const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_%-][A-Za-z0-9._%-]*\\.rrd$"));
    QSet<QString> names;
    for (const QString& key : keys) {
        const QString name = HistoryFileName::fromKey(key);
        EXPECT_TRUE(safe.match(name).hasMatch()) << name.toStdString();
        EXPECT_EQ(HistoryFileName::toKey(name), key) << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), keys.size());
    EXPECT_EQ(HistoryFileName::fromKey(QStringLiteral("10.0.0.1:机房/交换机")),
              QStringLiteral("10.0.0.1%3A%E6%9C%BA%E6%88%BF%2F%E4%BA%A4%E6%8D%A2%E6%9C%BA.rrd"));
}

TEST(HistoryFileName, OtherNamesAreNoKeys)
{
    for (const char* name :
         {"a.txt", "a.rrd.damaged-20261209120000", "a%3a.rrd", "a%3.rrd", "a%ZZ.rrd", "a b.rrd", "a%2Eb.rrd"}) {
        EXPECT_EQ(HistoryFileName::toKey(QString::fromLatin1(name)), std::nullopt) << name;
    }
}

TEST(HistoryFileName, AKeyTooLongForAFileNameStillGetsOneNameOfItsOwn)
{
    const QString key = QStringLiteral("10.0.0.1:") + QString(120, QChar(0x673A)); // 360 bytes of UTF-8
    const QString name = HistoryFileName::fromKey(key);
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_EQ(HistoryFileName::fromKey(key), name);
    EXPECT_NE(HistoryFileName::fromKey(key + QChar(0x623F)), name);
    EXPECT_EQ(HistoryFileName::toKey(name), std::nullopt);
}
