#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// A class 8 voice modem on a pseudo-terminal, behaving as real V.253 modems do: echo and verbose
// results as set, lines framed CR LF, ";"-joined extended commands, call progress as DLE events and
// final results, telephone keys as "<DLE>/<DLE>k<DLE>~", and the sound of AT+VTX taken in at the
// real-time rate of the chosen format so that the port pushes back. A scripted called party answers
// each dial; every audio byte received is recorded without its DLE shielding.
class SimulatedModem : public QObject {
    Q_OBJECT
public:
    struct Callee {
        enum Outcome { Answer, Busy, NoAnswer, NoDialTone, NoCarrier, Silent };
        Callee(Outcome outcome = Answer, int rings = 1, int hangUpAfterMs = -1, QList<QPair<int, char>> keys = {})
            : outcome(outcome)
            , rings(rings)
            , hangUpAfterMs(hangUpAfterMs)
            , keys(std::move(keys))
        {}
        Outcome outcome;
        int rings;                    // ringback reports before the outcome
        int hangUpAfterMs;            // after answering, the far end hangs up (busy tone); -1: never
        QList<QPair<int, char>> keys; // keys pressed this many ms after answering
    };

    SimulatedModem();
    ~SimulatedModem() override;

    QString path() const { return m_slavePath; }
    // A link to the terminal under a port's name ("ttyS7"), which is how the driver is told of it.
    QString linkAs(const QString& name);

    // How the modem is built.
    QByteArray identification = "SIMULATED V.253 VOICE MODEM";
    bool voice = true;      // lists class 8 and accepts AT+FCLASS=8
    bool mute = false;      // answers nothing at all (not a modem, or hung)
    bool garbage = false;   // answers every command with noise and no result
    int ringMs = 100;       // between two ringback reports
    int busyResultMs = 50;  // from the busy tone to the BUSY result, unless the dial is cut short
    bool busyTone = true;   // reports the busy tone before BUSY (some modems give the result alone)
    int commandDelayMs = 0; // before each answer
    int speed = 1;          // sound taken in this many times faster than real time
    int baud = 0;           // a UART at this rate (ten bits a byte) brings the sound in; 0: USB, no limit
    QList<QByteArray> formats{"0,\"SIGNED PCM\",8,0,(8000),(0),(0)", "1,\"UNSIGNED PCM\",8,0,(8000),(0),(0)",
                              "128,\"8-BIT LINEAR\",8,0,(7200,8000),(0),(0)", "131,\"ULAW\",8,0,(8000),(0),(0)",
                              "133,\"LINEAR\",16,0,(8000),(0),(0)"};
    // The called parties of successive dials; the last one answers every further dial.
    QList<Callee> callees{Callee{}};

    void pressKey(char key);   // a key of the called party, now
    void sendEvent(char code); // any DLE event, now
    void unplug();             // the line goes away (USB pulled)

    // What the modem received.
    QList<QByteArray> commands; // every command line, as sent
    QList<qint64> dialTimes;    // ms since creation of each ATD
    QByteArray audio;           // every audio byte of every AT+VTX, unshielded
    QList<qint64> audioSessionBytes;
    qint64 lastSessionMs = 0;    // the length of the last AT+VTX, from CONNECT to its end
    int aborts = 0;              // <DLE><CAN> received
    int underruns = 0;           // the line could not bring the sound in as fast as it played (<DLE>u sent)
    QList<QByteArray> toneLists; // arguments of AT+VTS
    int selectedFormat = -1;
    bool offHook() const { return m_offHook; }
    bool transmitting() const { return m_transmitting; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

signals:
    void commandReceived(const QByteArray& line);
    void audioReceived(qint64 total);

private:
    void onReadable();
    void onBytes(const QByteArray& bytes);
    void onCommandLine(const QByteArray& line);
    QList<QByteArray> execute(QByteArray body, bool* dialled);
    bool extended(const QByteArray& command, QList<QByteArray>* info);
    void dial(const QByteArray& number);
    void answered(const Callee& callee);
    void transmitTick();
    void transmitBytes(const QByteArray& bytes);
    void result(const QByteArray& text);
    void line(const QByteArray& text);
    void write(const QByteArray& bytes);
    void later(int ms, std::function<void()> action);
    int bytesPerSecond() const;
    void endCall();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QElapsedTimer m_clock;
    QByteArray m_input;
    bool m_echo = true;
    bool m_verbose = true;
    int m_class = 0;
    bool m_offHook = false;
    bool m_dialling = false;
    bool m_connected = false;
    int m_dials = 0;
    int m_call = 0; // counts calls, so that events of an ended call are dropped
    bool m_transmitting = false;
    bool m_pendingDle = false;
    QElapsedTimer m_transmitClock;
    qint64 m_sessionBytes = 0;
    qint64 m_lineBytes = 0; // bytes the line brought in this session, DLE shielding included
    bool m_dry = false;
    std::unique_ptr<QTemporaryDir> m_links;
    QTimer m_transmitTimer;
};
