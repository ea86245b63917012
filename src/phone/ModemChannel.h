#pragma once

#include "phone/ModemStream.h"
#include "platform/UucpLock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

// One serial port that speaks AT commands: takes the port's lock and opens it, sends one command at
// a time and collects its answer lines until the final result, and hands on the DLE-shielded events
// and telephone keys the modem sends in between. A command that gets no final result within its time
// ends with an empty result.
class ModemChannel : public QObject {
    Q_OBJECT
public:
    struct Reply {
        QByteArray result;       // OK, CONNECT, VCON, ERROR, BUSY, NO ANSWER, NO CARRIER, NO DIALTONE; empty: no answer
        QList<QByteArray> lines; // the information lines before it
        bool ok() const { return result == "OK"; }
        bool answered() const { return !result.isEmpty(); }
    };
    using Done = std::function<void(const Reply&)>;

    // The rate the port is set to.
    static constexpr int kBaud = 115200;

    ModemChannel(const QString& path, const QString& lockFolder, QObject* parent = nullptr);

    // The bytes a second the line to the modem on `path` carries at kBaud; 0 when the rate does not
    // limit it (a USB modem, a pseudo-terminal).
    static int lineBytesPerSecond(const QString& path);
    ~ModemChannel() override;

    const QString& path() const { return m_path; }

    // Takes the lock and opens the port; false with *error and *code (a TapiErrors code) when it cannot.
    bool open(QString* error, int* code);
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    // Queues a command (without "\r"); `done` gets its reply. After a CONNECT the port carries data:
    // later commands wait until finishData() has seen the final result that ends it.
    void command(const QByteArray& text, int timeoutMs, Done done);
    // The same, waiting for the reply while the message loop runs.
    Reply commandAndWait(const QByteArray& text, int timeoutMs);
    // Aborts the command in flight (a dial) by one character; its reply still comes.
    void abortCommand();
    bool commandInFlight() const { return m_current != nullptr; }

    // Data after a CONNECT.
    void writeData(const QByteArray& bytes);
    void clearOutput();
    // Waits until what was written has left for the modem, at most `ms`.
    void flush(int ms);
    qint64 bytesToWrite() const { return m_port.bytesToWrite(); }
    // Waits for the final result that ends the data (the caller has written the end sequence).
    void finishData(int timeoutMs, Done done);
    bool carriesData() const { return m_data; }

signals:
    void codeReceived(char code);
    void keyReceived(char key);
    void unsolicited(const QByteArray& line);
    void drained();
    // The port failed under us (unplugged): the channel has closed.
    void lost(const QString& reason);

private:
    struct Pending {
        QByteArray text; // empty: wait for a final result only
        int timeoutMs;
        Done done;
    };
    void startNext();
    void onReadyRead();
    void onLine(const QByteArray& line);
    void finish(const QByteArray& result);
    void onError(QSerialPort::SerialPortError error);

    QString m_path;
    UucpLock m_lock;
    QSerialPort m_port;
    ModemStream m_stream;
    std::deque<Pending> m_queue;
    std::unique_ptr<Pending> m_current;
    Reply m_reply;
    QTimer m_timeout;
    bool m_data = false;
};
