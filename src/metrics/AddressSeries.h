#pragma once

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The per-address series, one row per address of the list: written by the ping cycle, collected
// by the exposer's threads. A table of plain values rather than a family of metric objects per
// series: with thousands of addresses a scrape then copies rows instead of walking metric objects.
class AddressSeries final : public prometheus::Collectable {
public:
    using Key = std::pair<std::string, std::string>; // the labels address and name

    struct Verdict {
        bool up;
        double quality;   // 0 to 1
        double roundTrip; // seconds
        double time;      // seconds since the epoch
        int requests;
        int answers;
    };

    void judged(const Key& key, const Verdict& verdict);
    // Forgets every address that is not listed.
    void keepOnly(const std::set<Key>& listed);

    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    struct Row {
        double up = 0;
        double quality = 0;
        double roundTrip = 0;
        double time = 0;
        double downVerdicts = 0;
        double requests = 0;
        double answers = 0;
    };

    mutable std::mutex m_mutex;
    std::map<Key, Row> m_rows;
};
