#pragma once

#include "monitor/EchoProbe.h"

#include <QStringList>

#include <functional>
#include <stdexcept>

// An echo probe for window tests: no traffic leaves the machine. Every host answers at once unless
// `answers` says otherwise; a hook runs inside each request (to press Cancel mid-cycle, say).
class AnsweringProbe final : public EchoProbe {
public:
    void setHost(const QString& host) override { m_host = host; }
    void ping() override
    {
        hosts.append(m_host);
        if (duringPing)
            duringPing();
        if (answers && !answers(m_host))
            throw std::runtime_error("no route");
        m_status.replyStatusType = ReplyStatusType::Echo;
        m_status.msRoundTripTime = 0;
    }
    const ReplyStatus& replyStatus() const override { return m_status; }

    QStringList hosts;
    std::function<bool(const QString&)> answers;
    std::function<void()> duringPing;

private:
    QString m_host;
    ReplyStatus m_status;
};
