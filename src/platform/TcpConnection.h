#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// One outgoing TCP connection over IPv4, as the mail client needs it: a host name or dotted address,
// a port, and blocking reads and writes that never wait longer than the caller allows. The socket
// is closed when the object goes. All calls of the operating system live in TcpConnection.cpp, so
// that another system only needs its own implementation file.
class TcpConnection {
public:
    using Clock = std::chrono::steady_clock;

    enum class ReadStatus { Data, Closed, TimedOut };

    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Resolves the host (a dotted IPv4 address is used as it is, any other text is looked up) and
    // connects before the deadline. Raises AppError with the reason: a name that does not resolve,
    // a refused connection, or no answer before the deadline.
    void open(const QString& host, int port, Clock::time_point deadline);

    bool isOpen() const { return m_socket >= 0; }

    // Limits on every later wait, on top of the deadline or stall limit of the call: at `deadline`
    // a wait raises AppError(text) (a limit on the whole exchange), and so does a wait during which
    // `handle` becomes readable (the end of the program, see TerminationFlag; -1: none).
    void setOverallLimit(Clock::time_point deadline, const QString& text);
    void setStopHandle(int handle, const QString& text);

    // Writes every byte. Raises AppError when the connection fails or when the peer takes no byte
    // for the whole of stallLimit (a peer that stops reading must not hold the monitor forever).
    void writeAll(QByteArrayView data, std::chrono::milliseconds stallLimit);

    // Writes what the socket takes at once, and reports no failure: for the last words before closing.
    void writeWithoutWaiting(QByteArrayView data) noexcept;

    // Waits until bytes arrive, the peer closes, or the deadline passes. Data is appended to buffer.
    // Raises AppError on a socket error.
    ReadStatus readSome(QByteArray& buffer, Clock::time_point deadline);

    void close() noexcept;

    // "60 s", "0.25 s": how the limits appear in failure texts.
    static QString secondsText(std::chrono::milliseconds limit);

    // What bounds a wait besides its own deadline.
    struct Limits {
        Clock::time_point overall = Clock::time_point::max();
        QString overallText;
        int stopHandle = -1;
        QString stopText;
    };

private:
    int m_socket = -1;
    Limits m_limits;
};
