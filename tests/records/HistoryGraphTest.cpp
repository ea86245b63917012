// The latency graph drawn from a real history file: the median line takes the colour of each
// cycle's loss where that cycle lies on the time axis, and a cycle without any answer is marked.
#include "HistoryTestSupport.h"

#include "records/GraphCommand.h"
#include "records/HistoryGraph.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr qint64 kT0 = 1796799900; // a step boundary
const QString kKey = QStringLiteral("10.0.0.1:机房/交换机");

bool near(QRgb pixel, const QString& colour)
{
    const QColor c(colour);
    return qAbs(qRed(pixel) - c.red()) < 40 && qAbs(qGreen(pixel) - c.green()) < 40 &&
           qAbs(qBlue(pixel) - c.blue()) < 40;
}

// Three hours: 16 cycles without loss, 4 without any answer, 16 that lose half.
qint64 writeThreeHours(StoreUnderTest& s)
{
    std::vector<HistorySample> samples;
    for (int i = 1; i <= 36; ++i) {
        const qint64 t = kT0 + 300 * i;
        if (i <= 16)
            samples.push_back(sampleAt(kKey, t, {20, 22, 24, 60}, 4));
        else if (i <= 20)
            samples.push_back(sampleAt(kKey, t, {}, 4));
        else
            samples.push_back(sampleAt(kKey, t, {30, 40}, 4));
    }
    s.write(samples);
    return kT0 + 300 * 36;
}

} // namespace

TEST(HistoryGraph, TheMedianLineIsColouredByTheLossOfEachCycleAndSilentCyclesAreMarked)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const qint64 end = writeThreeHours(s);
    const HistoryGraph::Image image =
        HistoryGraph::draw(s.store().filePath(kKey), kKey, HistoryGraph::Range::Hours3, end);
    ASSERT_FALSE(image.png.isEmpty()) << image.error.toStdString();
    QImage png;
    ASSERT_TRUE(png.loadFromData(image.png, "PNG"));
    ASSERT_GT(image.plotWidth, 100);
    const qint64 start = end - 3 * 3600;
    auto xOf = [&](qint64 t) { return image.plotLeft + int((t - start) * image.plotWidth / (end - start)); };
    const int silentFrom = xOf(kT0 + 300 * 16);
    const int lossyFrom = xOf(kT0 + 300 * 20);
    const QString green = HistoryGraph::lossColour(0);
    const QString half = HistoryGraph::lossColour(0.5);
    ASSERT_NE(green, half);
    int greens = 0, halves = 0, markedColumns = 0;
    for (int x = image.plotLeft; x < image.plotLeft + image.plotWidth; ++x) {
        int reddish = 0;
        for (int y = image.plotTop; y < image.plotTop + image.plotHeight; ++y) {
            const QRgb p = png.pixel(x, y);
            if (near(p, green)) {
                ++greens;
                EXPECT_LE(x, silentFrom + 2) << "a lossless colour where cycles lost";
            }
            if (near(p, half)) {
                ++halves;
                EXPECT_GE(x, lossyFrom - 2) << "the colour of half lost where nothing was lost";
            }
            reddish += qRed(p) > qGreen(p) + 30 && qRed(p) > qBlue(p) + 30;
        }
        if (reddish > image.plotHeight * 3 / 4) {
            ++markedColumns;
            EXPECT_TRUE(x >= silentFrom - 2 && x <= lossyFrom + 2) << "marked at " << x;
        }
    }
    EXPECT_GT(greens, 50);
    EXPECT_GT(halves, 50);
    EXPECT_GT(markedColumns, 2);
    if (const QByteArray keep = qgetenv("TW_KEEP_GRAPH"); !keep.isEmpty())
        png.save(QString::fromLocal8Bit(keep));
}

TEST(HistoryGraph, EveryRangeDrawsWithItsChineseCaption)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const qint64 end = writeThreeHours(s);
    for (const HistoryGraph::Range range : HistoryGraph::kRanges) {
        const HistoryGraph::Image image = HistoryGraph::draw(s.store().filePath(kKey), kKey, range, end);
        EXPECT_FALSE(image.png.isEmpty()) << HistoryGraph::optionName(range).toStdString() << image.error.toStdString();
        EXPECT_EQ(HistoryGraph::fromOptionName(HistoryGraph::optionName(range)), range);
    }
    EXPECT_EQ(HistoryGraph::caption(HistoryGraph::Range::Hours30), QStringLiteral("30小时"));
    EXPECT_EQ(HistoryGraph::fromOptionName(QStringLiteral("2h")), std::nullopt);
}

TEST(GraphCommand, WritesThePngOrSaysWhyNot)
{
    QTemporaryDir dir;
    StoreUnderTest s(dir.path());
    const qint64 end = writeThreeHours(s);
    const QString out = QDir(dir.path()).filePath(QStringLiteral("out.png"));
    const GraphCommandResult drawn = runGraphCommand(dir.path(), kKey, QStringLiteral("30h"), out, end);
    EXPECT_EQ(drawn.exitCode, 0) << drawn.errorText.toStdString();
    QImage png(out);
    EXPECT_FALSE(png.isNull());

    const GraphCommandResult unknown = runGraphCommand(dir.path(), QStringLiteral("10.9.9.9:无"), QStringLiteral("3h"),
                                                       QDir(dir.path()).filePath(QStringLiteral("none.png")), end);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.errorText.startsWith(QStringLiteral("no history for \"10.9.9.9:无\"")))
        << unknown.errorText.toStdString();
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("none.png"))));

    const GraphCommandResult badRange = runGraphCommand(dir.path(), kKey, QStringLiteral("week"), out, end);
    EXPECT_EQ(badRange.exitCode, 2);
}
