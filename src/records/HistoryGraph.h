#pragma once

#include <QByteArray>
#include <QString>

#include <ctime>
#include <optional>

// The latency graph of one address over a range: the median round trip of each cycle as a line
// coloured by that cycle's loss, the spread of its round trips as grey smoke around it, cycles
// without any answer marked, and a legend over the range. Drawn by the round-robin library as PNG;
// not for more than one thread at a time.
namespace HistoryGraph {

enum class Range { Hours3, Hours30, Days10, Year };
inline constexpr Range kRanges[] = {Range::Hours3, Range::Hours30, Range::Days10, Range::Year};

QString caption(Range range);    // "3小时", ...
QString optionName(Range range); // "3h", ...
std::optional<Range> fromOptionName(const QString& name);
int seconds(Range range);

// The median line's colour for a cycle's loss (0 to 1), as "#RRGGBB".
QString lossColour(double loss);

struct Image {
    QByteArray png; // empty when it could not be drawn
    QString error;
    int plotLeft = 0; // where the plotting area lies in the image
    int plotTop = 0;
    int plotWidth = 0;
    int plotHeight = 0;
};

// The graph of the file's history over the range that ends at `end`.
Image draw(const QString& rrdPath, const QString& key, Range range, std::time_t end, int plotWidth = 640,
           int plotHeight = 220);

} // namespace HistoryGraph
