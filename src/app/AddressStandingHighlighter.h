#pragma once

#include "shared/AddressLine.h"

#include <QColor>
#include <QSyntaxHighlighter>

#include <functional>

// Draws each line of the address list by how the last cycle left its address, read from the
// quality suffix the cycle writes, so the colours hold after a restart: a normal line as it is, a
// poor one (Bad or Slow) on light amber, an unanswered one in bold white on dark red. The two
// backgrounds differ in lightness as much as in hue, so they read apart without telling red from
// green. Only the drawing changes: the text, the caret and the edits stay the memo's.
class AddressStandingHighlighter : public QSyntaxHighlighter {
public:
    struct Thresholds {
        int quality = 0; // the quality alarm's threshold, in per cent
        int rtt = 0;     // the RTT alarm's threshold, in ms
    };

    static inline const QColor kPoorBackground{0xFF, 0xE0, 0x82};
    static inline const QColor kDownBackground{0xB7, 0x1C, 0x1C};

    AddressStandingHighlighter(QTextDocument* document, std::function<Thresholds()> thresholds);

protected:
    void highlightBlock(const QString& text) override;

private:
    std::function<Thresholds()> m_thresholds;
};
