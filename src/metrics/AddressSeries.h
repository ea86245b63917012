#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

// The per-address series, one row per address of the list: written by the ping cycle, read by the
// web server's threads. A table of plain values written straight into the text exposition format:
// with ten thousand addresses a scrape then copies rows and appends text, instead of building and
// serializing seventy thousand metric objects.
class AddressSeries {
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

    // Appends the series in the text exposition format (a family per column, a line per address);
    // nothing while no address has a verdict.
    void appendText(std::string& out) const;

    // A label value as the exposition format writes it: backslash, double quote and line feed escaped.
    static std::string escaped(const std::string& value);

private:
    struct Row {
        std::string labels; // address="...",name="...", escaped once
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
