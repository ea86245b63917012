#include "records/HistoryValues.h"

#include <algorithm>
#include <cmath>
#include <limits>

HistoryValues HistoryValues::of(const HistorySample& sample)
{
    constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    HistoryValues values;
    const int sent = std::max(sample.sent, 1);
    values.loss = std::clamp(double(sample.lost) / sent, 0.0, 1.0);
    std::vector<quint32> sorted = sample.roundTrips;
    std::sort(sorted.begin(), sorted.end());
    const auto n = sorted.size();
    values.up = n > 0 && sample.lost < sent ? 1 : 0;
    if (n == 0) {
        values.median = kUnknown;
        values.spread.fill(kUnknown);
        return values;
    }
    values.median = n % 2 ? sorted[n / 2] : (double(sorted[n / 2 - 1]) + sorted[n / 2]) / 2;
    for (int j = 0; j < kSpread; ++j)
        values.spread[j] = sorted[std::lround(double(j) * double(n - 1) / (kSpread - 1))];
    return values;
}
