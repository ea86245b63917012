#pragma once

#include "shared/HistorySink.h"

#include <array>

// The values one cycle of one address leaves in its history file. An unknown value is NaN: the
// round trips of a cycle in which nothing was answered.
struct HistoryValues {
    static constexpr int kSpread = 4; // round trips kept of each cycle, fastest to slowest

    double loss = 0;   // share of the echo requests lost, 0 to 1
    double up = 0;     // 1 when at least one was answered, else 0
    double median = 0; // ms
    // Round trips picked at even steps through the sorted answers, first the fastest, last the
    // slowest: with up to kSpread answers every one of them. Only measured values, none made up.
    std::array<double, kSpread> spread{};

    static HistoryValues of(const HistorySample& sample);
};
