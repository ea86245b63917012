#include "records/HistoryValues.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(HistoryValues, KeepTheLossTheMedianAndTheSpreadOfTheMeasuredRoundTrips)
{
    struct Row {
        std::vector<quint32> roundTrips;
        int sent;
        double loss, up, median;
        std::array<double, 4> spread;
    };
    const Row rows[] = {
        {{40, 10, 30, 20}, 4, 0, 1, 25, {10, 20, 30, 40}},
        {{50, 10}, 4, 0.5, 1, 30, {10, 10, 50, 50}},
        {{7}, 4, 0.75, 1, 7, {7, 7, 7, 7}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10, 0, 1, 5.5, {1, 4, 7, 10}},
        {{1, 2, 3, 4, 5}, 8, 0.375, 1, 3, {1, 2, 4, 5}},
    };
    for (const Row& row : rows) {
        HistorySample sample;
        sample.roundTrips = row.roundTrips;
        sample.sent = row.sent;
        sample.lost = row.sent - int(row.roundTrips.size());
        const HistoryValues v = HistoryValues::of(sample);
        EXPECT_DOUBLE_EQ(v.loss, row.loss);
        EXPECT_DOUBLE_EQ(v.up, row.up);
        EXPECT_DOUBLE_EQ(v.median, row.median);
        for (int j = 0; j < 4; ++j)
            EXPECT_DOUBLE_EQ(v.spread[j], row.spread[j]) << "rank " << j << " of " << row.roundTrips.size();
    }
}

TEST(HistoryValues, ACycleWithoutAnswerHasNoRoundTrips)
{
    HistorySample sample;
    sample.sent = 4;
    sample.lost = 4;
    const HistoryValues v = HistoryValues::of(sample);
    EXPECT_EQ(v.loss, 1);
    EXPECT_EQ(v.up, 0);
    EXPECT_TRUE(std::isnan(v.median));
    EXPECT_TRUE(std::isnan(v.spread[0]) && std::isnan(v.spread[3]));
}
