#include "metrics/MonitorMetrics.h"

#include "shared/AddressLine.h"
#include "shared/AlarmKind.h"
#include "shared/TextSplit.h"

#include <QDateTime>

#include <prometheus/text_serializer.h>

#include <set>

using namespace prometheus;

namespace {

Family<Gauge>& gauge(Registry& registry, const char* name, const char* help)
{
    return BuildGauge().Name(name).Help(help).Register(registry);
}

Family<Counter>& counter(Registry& registry, const char* name, const char* help)
{
    return BuildCounter().Name(name).Help(help).Register(registry);
}

std::string utf8(const QString& text)
{
    return text.toStdString();
}

const char* kindName(int kind)
{
    switch (kind) {
    case Break:
        return "Break";
    case Bad:
        return "Bad";
    case Slow:
        return "Slow";
    case Remote:
        return "Remote";
    default:
        return nullptr;
    }
}

const char* channelName(AlarmChannel channel)
{
    switch (channel) {
    case AlarmChannel::Sound:
        return "sound";
    case AlarmChannel::Udp:
        return "udp";
    case AlarmChannel::Messenger:
        return "messenger";
    case AlarmChannel::Mail:
        return "mail";
    case AlarmChannel::Telephone:
        return "telephone";
    }
    return "unknown";
}

} // namespace

MonitorMetrics::MonitorMetrics(std::function<qint64()> nowMs)
    : m_nowMs(nowMs ? std::move(nowMs) : [] { return QDateTime::currentMSecsSinceEpoch(); })
    , m_addresses(std::make_unique<AddressSeries>())
    , m_registry(std::make_shared<Registry>())
    , m_cycles(counter(*m_registry, "tarnwicker_cycles_total", "Ping cycles run").Add({}))
    , m_cycleDuration(
          gauge(*m_registry, "tarnwicker_cycle_duration_seconds", "Duration of the last ping cycle").Add({}))
    , m_cycleEnd(gauge(*m_registry, "tarnwicker_last_cycle_end_timestamp_seconds",
                       "Time the last ping cycle ended, seconds since the epoch")
                     .Add({}))
    , m_cycleInterval(gauge(*m_registry, "tarnwicker_cycle_interval_seconds",
                            "Pause between the end of a ping cycle and the start of the next")
                          .Add({}))
    , m_listed(gauge(*m_registry, "tarnwicker_addresses", "Addresses in the list").Add({}))
    , m_raised(counter(*m_registry, "tarnwicker_alarms_raised_total", "Alarms raised, by kind"))
    , m_sends(counter(*m_registry, "tarnwicker_alarm_sends_total", "Alarm sends, by channel and result"))
    , m_received(counter(*m_registry, "tarnwicker_received_datagrams_total",
                         "Alarm datagrams received from other stations, accepted or dropped"))
{
    // Every kind, channel and result from the start: a rate over a series that appears late misses
    // its first increase.
    for (int kind : {Break, Bad, Slow, Remote})
        m_raised.Add({{"kind", kindName(kind)}});
    for (AlarmChannel channel :
         {AlarmChannel::Sound, AlarmChannel::Udp, AlarmChannel::Messenger, AlarmChannel::Mail, AlarmChannel::Telephone})
        for (const char* result : {"ok", "failed"})
            m_sends.Add({{"channel", channelName(channel)}, {"result", result}});
    for (const char* result : {"accepted", "dropped"})
        m_received.Add({{"result", result}});
}

std::string MonitorMetrics::exposition() const
{
    std::string text;
    m_addresses->appendText(text);
    text += TextSerializer().Serialize(m_registry->Collect());
    return text;
}

std::pair<QString, QString> MonitorMetrics::labelsOf(const QString& line)
{
    const QString key = AddressLine::entryKey(TextSplit::trimmed(line));
    const qsizetype colon = key.indexOf(u':');
    return {AddressLine::host(line), colon < 0 ? QString() : TextSplit::trimmed(key.mid(colon + 1))};
}

double MonitorMetrics::nowSeconds() const
{
    return double(m_nowMs()) / 1000.0;
}

void MonitorMetrics::addressJudged(const Verdict& verdict)
{
    const auto [address, name] = labelsOf(verdict.line);
    if (address.isEmpty())
        return;
    m_addresses->judged({utf8(address), utf8(name)}, {verdict.up, verdict.quality / 100.0, verdict.rttMs / 1000.0,
                                                      nowSeconds(), verdict.requests, verdict.answers});
}

void MonitorMetrics::cycleEnded(const CycleEnd& end)
{
    std::set<Key> listed;
    int count = 0;
    for (const QString& line : end.lines) {
        const auto [address, name] = labelsOf(line);
        if (address.isEmpty())
            continue;
        listed.insert({utf8(address), utf8(name)});
        ++count;
    }
    m_addresses->keepOnly(listed);
    m_cycles.Increment();
    m_cycleDuration.Set(end.durationMs / 1000.0);
    m_cycleEnd.Set(nowSeconds());
    m_cycleInterval.Set(end.intervalMinutes * 60.0);
    m_listed.Set(count);
}

void MonitorMetrics::alarmRaised(int kind)
{
    if (const char* name = kindName(kind))
        m_raised.Add({{"kind", name}}).Increment();
}

void MonitorMetrics::alarmSent(AlarmChannel channel, bool ok)
{
    m_sends.Add({{"channel", channelName(channel)}, {"result", ok ? "ok" : "failed"}}).Increment();
}

void MonitorMetrics::datagramReceived(bool accepted)
{
    m_received.Add({{"result", accepted ? "accepted" : "dropped"}}).Increment();
}
