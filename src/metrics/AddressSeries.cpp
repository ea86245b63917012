#include "metrics/AddressSeries.h"

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

void AddressSeries::judged(const Key& key, const Verdict& verdict)
{
    std::lock_guard lock(m_mutex);
    Row& row = m_rows[key];
    row.up = verdict.up ? 1 : 0;
    row.quality = verdict.quality;
    row.roundTrip = verdict.roundTrip;
    row.time = verdict.time;
    row.downVerdicts = verdict.up ? 0 : row.downVerdicts + 1;
    row.requests += verdict.requests;
    row.answers += verdict.answers;
}

void AddressSeries::keepOnly(const std::set<Key>& listed)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_rows.begin(); it != m_rows.end();)
        it = listed.count(it->first) ? std::next(it) : m_rows.erase(it);
}

std::vector<MetricFamily> AddressSeries::Collect() const
{
    struct Column {
        const char* name;
        const char* help;
        MetricType type;
        double Row::*value;
    };
    static const Column columns[] = {
        {"tarnwicker_address_up", "1 if the address answered in its last verdict, else 0", MetricType::Gauge, &Row::up},
        {"tarnwicker_address_quality_ratio", "Stored line quality of the address, 0 to 1", MetricType::Gauge,
         &Row::quality},
        {"tarnwicker_address_round_trip_seconds", "Stored average round-trip time of the address", MetricType::Gauge,
         &Row::roundTrip},
        {"tarnwicker_address_last_verdict_timestamp_seconds",
         "Time of the address's last verdict, seconds since the epoch", MetricType::Gauge, &Row::time},
        {"tarnwicker_address_down_verdicts",
         "Verdicts in a row, up to the last, in which the address answered no echo request", MetricType::Gauge,
         &Row::downVerdicts},
        {"tarnwicker_address_echo_requests_total", "Echo requests sent to the address", MetricType::Counter,
         &Row::requests},
        {"tarnwicker_address_echo_replies_total", "Echo requests the address answered", MetricType::Counter,
         &Row::answers},
    };
    std::vector<std::pair<Key, Row>> rows;
    {
        // Only the copy holds up the cycle; the families are built after.
        std::lock_guard lock(m_mutex);
        rows.assign(m_rows.begin(), m_rows.end());
    }
    if (rows.empty())
        return {};
    std::vector<MetricFamily> families;
    families.reserve(std::size(columns));
    for (const Column& column : columns) {
        MetricFamily& family = families.emplace_back();
        family.name = column.name;
        family.help = column.help;
        family.type = column.type;
        family.metric.resize(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            ClientMetric& metric = family.metric[i];
            metric.label = {{"address", rows[i].first.first}, {"name", rows[i].first.second}};
            const double value = rows[i].second.*column.value;
            if (column.type == MetricType::Counter)
                metric.counter.value = value;
            else
                metric.gauge.value = value;
        }
    }
    return families;
}
