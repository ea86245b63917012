#pragma once

#include "FakeHost.h"
#include "monitor/EchoProbe.h"
#include "platform/AppError.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// How one scripted echo request ends: a status with its round trip, or a raised error.
struct Outcome {
    std::optional<ReplyStatusType> status;
    quint32 rtt = 0;
};
inline Outcome answered(quint32 rtt)
{
    return {ReplyStatusType::Echo, rtt};
}
inline Outcome timedOut(quint32 rtt = 5000)
{
    return {ReplyStatusType::TimedOut, rtt};
}
inline Outcome raised()
{
    return {std::nullopt, 0};
}
inline Outcome withStatus(ReplyStatusType status, quint32 rtt)
{
    return {status, rtt};
}

// An echo probe that plays a script, one outcome per request, and remembers the hosts it was given.
class ScriptedProbe final : public EchoProbe {
public:
    std::deque<Outcome> script;
    QStringList hosts;
    int pings = 0;

    void setHost(const QString& host) override { hosts << host; }
    void ping() override
    {
        ++pings;
        if (script.empty()) {
            ADD_FAILURE() << "more echo requests than scripted";
            throw AppError(QStringLiteral("script ran out"));
        }
        const Outcome next = script.front();
        script.pop_front();
        if (!next.status)
            throw AppError(QStringLiteral("Cannot allocate socket."));
        m_result = ReplyStatus{};
        m_result.replyStatusType = *next.status;
        m_result.msRoundTripTime = next.rtt;
    }
    const ReplyStatus& replyStatus() const override { return m_result; }

private:
    ReplyStatus m_result;
};
