#pragma once

#include "phone/BaresipControl.h"
#include "phone/LineProvider.h"

#include <QProcess>
#include <QTimer>

// The telephone line over SIP: baresip runs as a child process with a configuration folder of its
// own and is driven over its control port. Calls go to SIP addresses (a plain number goes to the
// server); call progress, keys and the sound map onto what the line device expects of a line.
class SipLine : public LineProvider {
    Q_OBJECT
public:
    struct Account {
        QString account;  // the station's own SIP address, "sip:alarm@pbx.example.com"
        QString password; // empty: no authentication
        QString server;   // registrar and outbound proxy; empty: direct calls, no registration
    };
    struct Network {
        QString bindAddress; // empty: the local address towards the server (or the account's host)
        quint16 sipPort = 0; // TLS takes the port after it; 0: a free pair
        quint16 rtpFirst = 10000;
        quint16 rtpLast = 10039;
    };
    struct Timing {
        int startMs = 5000;     // until the control port answers
        int replyMs = 3000;     // a command's reply
        int noAnswerMs = 60000; // ringing without an answer
        int quitMs = 2000;      // after "quit", before the first signal
        int signalMs = 1000;    // between the signals that follow
    };
    // Extra lines for baresip's configuration (the tests record the call with them).
    QStringList extraConfig;

    explicit SipLine(QObject* parent = nullptr);
    ~SipLine() override;

    void setAccount(const Account& account);
    void setNetwork(const Network& network) { m_network = network; }
    void setTiming(const Timing& timing) { m_timing = timing; }
    void setProgram(const QString& program) { m_program = program; }
    // The folder that takes the private configuration folder (the user's runtime folder by default).
    void setRuntimeFolder(const QString& folder) { m_runtimeFolder = folder; }

    static QString lineName(const QString& account) { return QStringLiteral("SIP: ") + account; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }
    QString configFolder() const { return m_folder; }
    // Stops baresip in order: "quit", then the signals, then kill.
    void stop();

    QList<Line> lines() override;
    QByteArray dialString(const QString& number, QString* error) const override;
    void open(const QString& name, bool voice) override;
    void close() override;
    bool isOpen() const override;
    void dial(const QByteArray& dialString) override;
    void drop() override;
    void sendDigits(const QByteArray& toneList) override;
    quint32 callState() const override { return m_state; }

    bool canPlay() const override { return isOpen(); }
    void beginAudio() override;
    void writeAudio(const QVector<qint16>& samples) override;
    void endAudio() override;
    void abortAudio() override;

signals:
    // Lines for the information pane (registration results).
    void paneLine(const QString& text);

private:
    void start();
    void writeFiles();
    QString logTail() const;
    void onEvent(const QJsonObject& event);
    void onClosed(const QString& reason);
    void onGone(const QString& reason);
    void setState(quint32 state, quint32 detail = 0);
    void toSilence();
    void endAudioNow();
    QString serverHost() const;
    QString bindAddress() const;
    void checkAccount();
    [[noreturn]] void fail(const QString& text);

    Account m_account;
    Network m_network;
    Timing m_timing;
    QString m_program = QStringLiteral("baresip");
    QString m_runtimeFolder;
    QString m_folder;
    quint16 m_controlPort = 0;
    QProcess m_process;
    BaresipControl m_control;
    bool m_needsRestart = false;
    bool m_open = false;
    bool m_dropping = false;
    quint32 m_state = 0x1;
    QString m_callId;
    QTimer m_noAnswer;
    bool m_playing = false;
    int m_chunk = 0;
    QTimer m_drained;
};
