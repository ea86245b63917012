#pragma once

#include "phone/LineProvider.h"
#include "phone/ModemChannel.h"
#include "phone/VoiceFormat.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>

// The telephone line over a V.253 (class 8) voice modem on a serial port: discovery of the modems,
// voice mode, dialling with call progress from the result codes and DLE events, telephone keys,
// tones by AT+VTS, the sound by AT+VTX in the best voice format the modem offers, and hang-up.
class VoiceModem : public LineProvider {
    Q_OBJECT
public:
    struct Timing {
        int replyMs = 30000; // a command the modem does not answer within this is a failure
        int probeMs = 1500;  // a port that does not answer "AT" within this is no modem
        int dialMs = 120000; // the final result of a dial
    };

    // `extraPaths`: ports named on the command line, offered besides those found.
    explicit VoiceModem(const QStringList& extraPaths = {}, QObject* parent = nullptr);
    ~VoiceModem() override;

    void setScanSystemPorts(bool scan) { m_scanSystemPorts = scan; }
    void setLockFolder(const QString& folder) { m_lockFolder = folder; }
    void setTiming(const Timing& timing) { m_timing = timing; }
    // The serial ports of the system that may hold a modem (ttyACM*, ttyUSB*, ttyS*).
    static QStringList systemPorts();

    QList<Line> lines() override;
    void open(const QString& name, bool voice) override;
    void close() override;
    bool isOpen() const override;
    void dial(const QByteArray& dialString) override;
    void drop() override;
    void sendDigits(const QByteArray& toneList) override;
    quint32 callState() const override { return m_state; }

    bool canPlay() const override { return m_format.has_value(); }
    std::optional<VoiceFormat> format() const { return m_format; }
    void beginAudio() override;
    void writeAudio(const QVector<qint16>& samples) override;
    void endAudio() override;
    void abortAudio() override;

private:
    struct Found {
        QString path;
        Line line;
    };
    enum class Audio { None, Starting, Playing, Ending };

    QList<Found> probe(const QStringList& paths);
    void setState(quint32 state, quint32 detail = 0);
    void onDialResult(const ModemChannel::Reply& reply);
    void onCode(char code);
    void onLost(const QString& reason);
    void hangUpCommand();
    void endAudioState();
    [[noreturn]] void fail(int code, const QString& text);

    QStringList m_extraPaths;
    bool m_scanSystemPorts = true;
    QString m_lockFolder;
    Timing m_timing;
    QList<Found> m_found;
    std::unique_ptr<ModemChannel> m_channel;
    QString m_openName;
    bool m_voice = false;
    std::optional<VoiceFormat> m_format;
    quint32 m_state = 0x1;
    bool m_dialling = false;
    bool m_dropping = false;
    bool m_offHook = false; // dialled and not yet hung up: closing the port hangs up first
    Audio m_audio = Audio::None;
    bool m_abortWhenConnected = false;
};
