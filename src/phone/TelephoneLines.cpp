#include "phone/TelephoneLines.h"

#include "phone/CallStates.h"
#include "phone/TapiError.h"

#include <QTimer>

TelephoneLines::TelephoneLines(LineProvider& modem, AccountSource account, QObject* parent)
    : LineProvider(parent)
    , m_modem(modem)
    , m_account(std::move(account))
{
    forward(&m_modem);
}

TelephoneLines::~TelephoneLines()
{
    stop();
}

// A provider's messages count only while it holds the line: one that was left speaks no more.
void TelephoneLines::forward(LineProvider* from)
{
    auto mine = [this, from] { return m_current == from; };
    connect(from, &LineProvider::replied, this, [this, mine](int result) {
        if (mine())
            emit replied(result);
    });
    connect(from, &LineProvider::callStateChanged, this, [this, mine](quint32 state, quint32 detail) {
        if (mine())
            emit callStateChanged(state, detail);
    });
    connect(from, &LineProvider::keyPressed, this, [this, mine](char key) {
        if (mine())
            emit keyPressed(key);
    });
    connect(from, &LineProvider::lineClosed, this, [this, mine](const QString& reason) {
        if (mine())
            emit lineClosed(reason);
    });
    connect(from, &LineProvider::audioOpened, this, [this, mine] {
        if (mine())
            emit audioOpened();
    });
    connect(from, &LineProvider::audioDrained, this, [this, mine] {
        if (mine())
            emit audioDrained();
    });
    connect(from, &LineProvider::audioEnded, this, [this, mine] {
        if (mine())
            emit audioEnded();
    });
}

SipLine& TelephoneLines::sip()
{
    if (!m_sip) {
        m_sip = std::make_unique<SipLine>();
        forward(m_sip.get());
        connect(m_sip.get(), &SipLine::paneLine, this, &TelephoneLines::paneLine);
    }
    return *m_sip;
}

void TelephoneLines::stop()
{
    if (m_sip)
        m_sip->stop();
}

QString TelephoneLines::sipLineName() const
{
    const QString account = m_account ? m_account().account.trimmed() : QString();
    return account.isEmpty() ? QString() : SipLine::lineName(account);
}

QList<LineProvider::Line> TelephoneLines::lines()
{
    QList<Line> all = m_modem.lines();
    const QString sipName = sipLineName();
    if (!sipName.isEmpty())
        all.append(Line{sipName, true, true});
    return all;
}

QByteArray TelephoneLines::dialString(const QString& number, QString* error) const
{
    return m_current ? m_current->dialString(number, error) : LineProvider::dialString(number, error);
}

void TelephoneLines::open(const QString& name, bool voice)
{
    m_current = nullptr;
    LineProvider* provider = &m_modem;
    if (!name.isEmpty() && name == sipLineName()) {
        // A changed account is taken up here, so that it holds from the next call on.
        sip().setAccount(m_account());
        provider = m_sip.get();
    }
    provider->open(name, voice);
    m_current = provider;
}

void TelephoneLines::close()
{
    if (m_current)
        m_current->close();
}

bool TelephoneLines::isOpen() const
{
    return m_current && m_current->isOpen();
}

void TelephoneLines::dial(const QByteArray& dialString)
{
    if (m_current) {
        m_current->dial(dialString);
        return;
    }
    QTimer::singleShot(0, this, [this] { emit replied(TapiErrors::codeOf(TapiErrors::kOperationFailed)); });
}

void TelephoneLines::drop()
{
    if (m_current)
        m_current->drop();
    else
        answerDropOnClosedLine();
}

void TelephoneLines::sendDigits(const QByteArray& toneList)
{
    if (m_current)
        m_current->sendDigits(toneList);
}

quint32 TelephoneLines::callState() const
{
    return m_current ? m_current->callState() : CallStates::kIdle;
}

bool TelephoneLines::canPlay() const
{
    return m_current && m_current->canPlay();
}

void TelephoneLines::beginAudio()
{
    if (m_current) {
        m_current->beginAudio();
        return;
    }
    QTimer::singleShot(0, this, [this] { emit audioEnded(); });
}

void TelephoneLines::writeAudio(const QVector<qint16>& samples)
{
    if (m_current)
        m_current->writeAudio(samples);
}

void TelephoneLines::endAudio()
{
    if (m_current)
        m_current->endAudio();
}

void TelephoneLines::abortAudio()
{
    if (m_current)
        m_current->abortAudio();
}
