#pragma once

#include "phone/LineProvider.h"
#include "phone/SipLine.h"

#include <functional>
#include <memory>

// Every telephone line of the station under the one line device: the voice modems and, when a SIP
// account is set, the line "SIP: " + account. open() picks the provider that owns the line by its name;
// everything else goes to the line opened last, whose messages are passed on as this provider's own.
// The SIP line is made on first use, so baresip runs only once that line is opened.
class TelephoneLines : public LineProvider {
    Q_OBJECT
public:
    // The SIP account as the settings hold it now; read afresh for the line list and for every open.
    using AccountSource = std::function<SipLine::Account()>;

    TelephoneLines(LineProvider& modem, AccountSource account, QObject* parent = nullptr);
    ~TelephoneLines() override;

    // The SIP line, made now if there is none yet (baresip is not started by this).
    SipLine& sip();
    bool hasSip() const { return bool(m_sip); }
    // Stops baresip in order, if it runs.
    void stop();

    QList<Line> lines() override;
    QByteArray dialString(const QString& number, QString* error) const override;
    void open(const QString& name, bool voice) override;
    void close() override;
    bool isOpen() const override;
    void dial(const QByteArray& dialString) override;
    void drop() override;
    void sendDigits(const QByteArray& toneList) override;
    quint32 callState() const override;

    bool canPlay() const override;
    void beginAudio() override;
    void writeAudio(const QVector<qint16>& samples) override;
    void endAudio() override;
    void abortAudio() override;

signals:
    // Lines for the information pane from the SIP line (registration results).
    void paneLine(const QString& text);

private:
    void forward(LineProvider* from);
    QString sipLineName() const;

    LineProvider& m_modem;
    AccountSource m_account;
    std::unique_ptr<SipLine> m_sip;
    LineProvider* m_current = nullptr;
};
