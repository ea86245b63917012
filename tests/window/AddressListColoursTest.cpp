// The address list on screen: each line drawn by how the last cycle left its address.
#include "DesktopWindowFixture.h"

#include "app/AddressStandingHighlighter.h"

#include <QScreen>

namespace {

// Pixels of the memo's line, as the X server shows them, that have the colour.
int pixelsOfColour(QPlainTextEdit* memo, int line, const QColor& colour)
{
    QTextCursor cursor(memo->document()->findBlockByNumber(line));
    const QRect caret = memo->cursorRect(cursor);
    const QPoint at = memo->viewport()->mapToGlobal(QPoint(0, caret.center().y()));
    const QImage row =
        QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), memo->viewport()->width(), 1).toImage();
    int count = 0;
    for (int x = 0; x < row.width(); ++x) {
        const QColor pixel = row.pixelColor(x, 0);
        if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                std::abs(pixel.blue() - colour.blue()) <
            12)
            ++count;
    }
    return count;
}

} // namespace

class AddressListColoursTest : public DesktopWindowFixture {
protected:
    void SetUp() override { writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本机\r\n")); }
};

TEST_F(AddressListColoursTest, EachLineIsDrawnByItsLastVerdict)
{
    TfrmTarnwick& w = start();
    QPlainTextEdit* memo = w.ui().mLine;
    w.ui().PageControl1->setCurrentWidget(w.ui().TabSheet1);
    // Thresholds as the settings have them by default: quality 50 %, round trip 500 ms.
    memo->setPlainText(QStringLiteral("10.0.0.1:正常=100%,5\n10.0.0.2:丢包=40%,20\n10.0.0.3:慢=100%,900\n"
                                      "10.0.0.4:不通=0%,5000"));
    const QString text = memo->toPlainText();
    using H = AddressStandingHighlighter;
    struct Expected {
        int poor;
        int down;
    };
    auto check = [&](const std::vector<Expected>& expected, const char* when) {
        waitFor([] { return false; }, 200); // drawn
        for (int line = 0; line < int(expected.size()); ++line) {
            EXPECT_EQ(pixelsOfColour(memo, line, H::kPoorBackground) > 10, bool(expected[line].poor))
                << when << ", line " << line;
            EXPECT_EQ(pixelsOfColour(memo, line, H::kDownBackground) > 10, bool(expected[line].down))
                << when << ", line " << line;
        }
    };
    check({{0, 0}, {1, 0}, {1, 0}, {0, 1}}, "default thresholds");
    // A lower quality threshold: the line with some loss is no longer poor.
    w.ui().sePingErr->setValue(30);
    check({{0, 0}, {0, 0}, {1, 0}, {0, 1}}, "quality threshold 30 %");
    EXPECT_EQ(memo->toPlainText(), text); // only the drawing changed
}
