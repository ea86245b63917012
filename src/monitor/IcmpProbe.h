#pragma once

#include "monitor/EchoProbe.h"
#include "monitor/IcmpPacket.h"
#include "platform/IcmpSocket.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class TickClock;

// The echo probe: sends one ICMP echo request to `Host` and waits for the answer that carries its
// sequence number. Every request gets a socket of its own, so no stale answer waits in one between
// requests; answers to earlier requests that arrive during a later wait are told apart by their
// sequence number and dropped.
//
// The round trip runs from the send to the moment the answer reached the socket, and a request
// times out when no answer reached it within the receive timeout, however late the probe gets
// round to reading (a wait step that opened a dialog, a busy machine).
//
// Failures are thrown: SocketError for what the system refused (with its text), AppError for the
// probe's own texts ("Cannot allocate socket.", "Not enough bytes received", "Non-echo type
// response received", "Package Size Too Big.", "Not all bytes sent.", kAbandonedText). After a failure the result
// keeps the previous values and the sequence number stays where it was.
class IcmpProbe final : public EchoProbe {
public:
    static constexpr quint16 kFirstSequenceNumber = 3489;
    static constexpr int kDefaultReceiveTimeout = 5000;
    static constexpr int kTimeToLive = 128;

    explicit IcmpProbe(const TickClock& clock, IcmpSocket::Mode mode = IcmpSocket::Mode::RawThenDatagram);
    IcmpProbe();
    ~IcmpProbe() override;

    void setHost(const QString& host) override { m_host = host; }
    const QString& host() const { return m_host; }

    // Longest wait for the answer, in ms. The monitor keeps 5000; tests shorten it.
    void setReceiveTimeout(int ms) { m_receiveTimeout = ms; }
    int receiveTimeout() const { return m_receiveTimeout; }

    quint16 sequenceNumber() const { return m_sequence; }

    // A handle whose becoming readable ends the wait for the answer at once (the end of the
    // program; see TerminationFlag); the request then fails with kAbandonedText. -1: none.
    void setStopHandle(int handle) { m_stopHandle = handle; }
    static inline const QString kAbandonedText = QStringLiteral("Echo request abandoned: the monitor is ending");

    // Sends one echo request. A sequence number other than 0 replaces the current one first.
    void ping(QByteArrayView payload, quint16 sequence);
    void ping() override { ping({}, 0); }

    const ReplyStatus& replyStatus() const override { return m_result; }

    // Longest stretch of a wait without a call of the wait step, in ms.
    static constexpr int kWaitStepInterval = 50;
    void setWaitStep(std::function<void()> step) override { m_waitStep = std::move(step); }

    // Raised with the result at the end of every completed echo request.
    std::function<void(const ReplyStatus&)> onReply;

    // The kind of the socket of the latest request, once one was opened.
    std::optional<IcmpSocket::Kind> lastSocketKind() const { return m_lastKind; }

    // "localhost" in any case is 127.0.0.1, a dotted address stands for itself, anything else is
    // looked up. Throws SocketError when the lookup fails.
    static quint32 resolve(const QString& host);

private:
    void send(const std::array<quint8, IcmpPacket::kEchoRequestSize>& packet);
    ReplyStatus waitForAnswer(quint32 start);

    const TickClock& m_clock;
    IcmpSocket::Mode m_mode;
    QString m_host;
    int m_receiveTimeout = kDefaultReceiveTimeout;
    int m_stopHandle = -1;
    std::function<void()> m_waitStep;
    quint16 m_sequence = kFirstSequenceNumber;
    quint16 m_identifier;
    ReplyStatus m_result;
    std::unique_ptr<IcmpSocket> m_socket;
    std::optional<IcmpSocket::Kind> m_lastKind;
    std::array<quint8, IcmpPacket::kReceiveBufferSize> m_buffer{};
};
