#pragma once

#include "alarm/AlarmTally.h"
#include "monitor/CycleObserver.h"

#include <QString>

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

// The monitor's state as metrics for a Prometheus server: per address the last verdict, the stored
// quality and round trip, the echo requests and answers; per cycle the count, duration and end;
// the alarms raised, the sends of each channel and the datagrams received from other stations.
//
// Fed on the window's thread; the exposer's threads only collect, which the registry guards.
class MonitorMetrics final : public CycleObserver, public AlarmTally {
public:
    // The clock gives milliseconds since the epoch; the default is the system's.
    explicit MonitorMetrics(std::function<qint64()> nowMs = {});

    std::shared_ptr<prometheus::Registry> registry() const { return m_registry; }

    // The metrics in the text exposition format, as a scrape gets them.
    std::string exposition() const;

    // The labels of an address line: its host and the name after the ":" of its entry key.
    static std::pair<QString, QString> labelsOf(const QString& line);

    void addressJudged(const Verdict& verdict) override;
    // Also forgets every address that is no longer in the list.
    void cycleEnded(const CycleEnd& end) override;

    void alarmRaised(int kind) override;
    void alarmSent(AlarmChannel channel, bool ok) override;
    void datagramReceived(bool accepted) override;

private:
    struct AddressSeries {
        prometheus::Gauge* up;
        prometheus::Gauge* quality;
        prometheus::Gauge* roundTrip;
        prometheus::Gauge* verdictTime;
        prometheus::Gauge* downVerdicts;
        prometheus::Counter* requests;
        prometheus::Counter* answers;
    };
    using Key = std::pair<std::string, std::string>; // address, name

    AddressSeries& seriesOf(const Key& key);
    void forget(const AddressSeries& series);
    double nowSeconds() const;

    std::function<qint64()> m_nowMs;
    std::shared_ptr<prometheus::Registry> m_registry;

    prometheus::Family<prometheus::Gauge>& m_up;
    prometheus::Family<prometheus::Gauge>& m_quality;
    prometheus::Family<prometheus::Gauge>& m_roundTrip;
    prometheus::Family<prometheus::Gauge>& m_verdictTime;
    prometheus::Family<prometheus::Gauge>& m_downVerdicts;
    prometheus::Family<prometheus::Counter>& m_requests;
    prometheus::Family<prometheus::Counter>& m_answers;
    std::map<Key, AddressSeries> m_addresses;

    prometheus::Counter& m_cycles;
    prometheus::Gauge& m_cycleDuration;
    prometheus::Gauge& m_cycleEnd;
    prometheus::Gauge& m_cycleInterval;
    prometheus::Gauge& m_listed;

    prometheus::Family<prometheus::Counter>& m_raised;
    prometheus::Family<prometheus::Counter>& m_sends;
    prometheus::Family<prometheus::Counter>& m_received;
};
