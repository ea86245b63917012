#pragma once

#include "alarm/AlarmTally.h"
#include "metrics/AddressSeries.h"
#include "monitor/CycleObserver.h"

#include <QString>

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

// The monitor's state as metrics for a Prometheus server: per address the last verdict, the stored
// quality and round trip, the echo requests and answers; per cycle the count, duration and end;
// the alarms raised, the sends of each channel and the datagrams received from other stations.
//
// Fed on the window's thread; the web server's threads only read, which the registry and the
// address table guard.
class MonitorMetrics final : public CycleObserver, public AlarmTally {
public:
    // The clock gives milliseconds since the epoch; the default is the system's.
    explicit MonitorMetrics(std::function<qint64()> nowMs = {});

    // The metrics in the text exposition format, as a scrape gets them: the per-address table, then
    // the registry of the other metrics. Safe to call from any thread.
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
    using Key = AddressSeries::Key;

    double nowSeconds() const;

    std::function<qint64()> m_nowMs;
    std::unique_ptr<AddressSeries> m_addresses;
    std::shared_ptr<prometheus::Registry> m_registry;

    prometheus::Counter& m_cycles;
    prometheus::Gauge& m_cycleDuration;
    prometheus::Gauge& m_cycleEnd;
    prometheus::Gauge& m_cycleInterval;
    prometheus::Gauge& m_listed;

    prometheus::Family<prometheus::Counter>& m_raised;
    prometheus::Family<prometheus::Counter>& m_sends;
    prometheus::Family<prometheus::Counter>& m_received;
};
