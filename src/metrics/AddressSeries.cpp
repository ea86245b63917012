#include "metrics/AddressSeries.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <vector>

namespace {

// A sample value: the shortest text that reads back as the same double, as the format's parsers
// take it; the format's own words for the values that are no numbers.
void appendValue(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
    } else {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, value);
        out.append(text, result.ptr);
    }
}

} // namespace

void AddressSeries::judged(const Key& key, const Verdict& verdict)
{
    std::lock_guard lock(m_mutex);
    Row& row = m_rows[key];
    if (row.labels.empty())
        row.labels = "address=\"" + escaped(key.first) + "\",name=\"" + escaped(key.second) + '"';
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

std::string AddressSeries::escaped(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void AddressSeries::appendText(std::string& out) const
{
    struct Column {
        const char* name;
        const char* help;
        const char* type;
        double Row::*value;
    };
    static const Column columns[] = {
        {"tarnwicker_address_up", "1 if the address answered in its last verdict, else 0", "gauge", &Row::up},
        {"tarnwicker_address_quality_ratio", "Stored line quality of the address, 0 to 1", "gauge", &Row::quality},
        {"tarnwicker_address_round_trip_seconds", "Stored average round-trip time of the address", "gauge",
         &Row::roundTrip},
        {"tarnwicker_address_last_verdict_timestamp_seconds",
         "Time of the address's last verdict, seconds since the epoch", "gauge", &Row::time},
        {"tarnwicker_address_down_verdicts",
         "Verdicts in a row, up to the last, in which the address answered no echo request", "gauge",
         &Row::downVerdicts},
        {"tarnwicker_address_echo_requests_total", "Echo requests sent to the address", "counter", &Row::requests},
        {"tarnwicker_address_echo_replies_total", "Echo requests the address answered", "counter", &Row::answers},
    };
    std::vector<Row> rows;
    {
        // Only the copy holds up the cycle; the text is written after.
        std::lock_guard lock(m_mutex);
        rows.reserve(m_rows.size());
        for (const auto& [key, row] : m_rows)
            rows.push_back(row);
    }
    if (rows.empty())
        return;
    std::size_t labels = 0;
    for (const Row& row : rows)
        labels += row.labels.size();
    out.reserve(out.size() + std::size(columns) * (labels + rows.size() * 72));
    for (const Column& column : columns) {
        out.append("# HELP ").append(column.name).append(" ").append(column.help).append("\n");
        out.append("# TYPE ").append(column.name).append(" ").append(column.type).append("\n");
        for (const Row& row : rows) {
            out.append(column.name).append("{").append(row.labels).append("} ");
            appendValue(out, row.*column.value);
            out += '\n';
        }
    }
}
