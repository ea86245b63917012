#include "app/TelephonePage.h"

#include "alarm/PasswordScrambler.h"
#include "app/Prompter.h"
#include "app/WindowUi.h"
#include "platform/AppError.h"
#include "platform/TickClock.h"
#include "shared/AlarmKind.h"
#include "shared/TextSplit.h"
#include "sound/AlarmSounds.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

TelephonePage::TelephonePage(const WindowUi& ui, Prompter& prompter, AlarmSounds& sounds, const QStringList& modems,
                             QString dataDir, Host host)
    : m_ui(ui)
    , m_prompter(prompter)
    , m_sounds(sounds)
    , m_dataDir(std::move(dataDir))
    , m_host(std::move(host))
    , m_modem(std::make_unique<VoiceModem>(modems))
    , m_lines(std::make_unique<TelephoneLines>(*m_modem,
                                               [this] {
                                                   return SipLine::Account{
                                                       m_ui.edtSipAccount->text().trimmed(),
                                                       PasswordScrambler::unscramble(m_ui.edtSipPsw->text()),
                                                       m_ui.edtSipServer->text().trimmed()};
                                               }))
    , m_tel(std::make_unique<LineDevice>(m_lines.get()))
{
    m_tel->OnError = m_host.addInfo;
    if (m_host.chooser)
        m_tel->setChooser(m_host.chooser);
    connect(m_lines.get(), &TelephoneLines::paneLine, this, [this](const QString& line) { m_host.addInfo(line); });
    // A chosen SIP line follows its account, so that the next call goes out under the new one.
    connect(m_ui.edtSipAccount, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_tel->SelectedDevice().startsWith(SipLine::lineName({})))
            return;
        m_tel->setSelectedDevice(text.trimmed().isEmpty() ? QString() : SipLine::lineName(text.trimmed()));
        m_ui.Edit12->setText(m_tel->SelectedDevice());
    });
    AlarmCallSequence::Host calls;
    calls.addInfo = m_host.addInfo;
    calls.phoneLines = [this] {
        QStringList lines = m_ui.mPhone->toPlainText().split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    };
    calls.soundList = [this]() -> const QStringList& { return m_sounds.soundList(); };
    calls.soundIndex = [this] { return m_sounds.soundIndex(); };
    calls.setSoundIndex = [this](int index) { m_sounds.setSoundIndex(index); };
    calls.testRecording = [this] { return m_ui.Edit6->text(); };
    calls.maxTimeMinutes = [this] { return TextSplit::toInt(m_ui.SpinEdit2->cleanText()).value_or(0); };
    calls.keyField = [this](AlarmCallSequence::Key key) {
        const QLineEdit* fields[] = {m_ui.Edit9, m_ui.Edit10, m_ui.Edit11, m_ui.Edit13};
        return fields[key]->text();
    };
    calls.togglePause = m_host.togglePause;
    calls.ending = m_host.ending;
    m_calls = std::make_unique<AlarmCallSequence>(*m_tel, calls, TickClock::system());

    connect(m_ui.btSDTest, &QPushButton::clicked, this, &TelephonePage::btSDTestClick);
    connect(m_ui.BitBtn5, &QPushButton::clicked, this, &TelephonePage::BitBtn5Click);
    m_ui.Edit6->installEventFilter(this);
}

TelephonePage::~TelephonePage()
{
    m_calls.reset();
    m_tel.reset();
    m_lines.reset();
}

void TelephonePage::hangUpAtEnd()
{
    constexpr int kHangUpBudgetMs = 1000;
    m_tel->limitWaits(kHangUpBudgetMs);
    m_calls->EndAlarmCall();
}

void TelephonePage::stop()
{
    m_lines->stop();
}

QString TelephonePage::noModemText()
{
    return QStringLiteral("实现电话报警功能必须安装调制解调器（MODEM），请确认是否已安装！若确实已安装，"
                          "请到\"设备管理器\"中右击选择\"扫描检测硬件改动\"，然后再试！");
}

void TelephonePage::btSDTestClick()
{
    if (!m_calls->testFlag()) {
        try {
            const QString file = m_ui.Edit6->text();
            if (!file.isEmpty() && QFileInfo(file).isFile()) {
                m_host.resetAlarmState();
                m_host.setAlarmCode(int(AlarmKind::CallTest));
                m_sounds.PlayAlarmSound(int(AlarmKind::CallTest), QString());
                m_calls->setTestFlag(true);
                m_calls->CallNextNumber();
            } else {
                m_host.addInfo(QStringLiteral("找不到指定声音测试文件！"));
            }
        } catch (const std::exception&) {
            m_host.addInfo(QStringLiteral("通话测试出错，请检查！"));
        }
        m_calls->setTestFlag(true);
        m_ui.btSDTest->setText(QStringLiteral("结束通话"));
    } else {
        m_host.stopSound();
        m_calls->EndAlarmCall();
        m_calls->setTestFlag(false);
        m_ui.btSDTest->setText(QStringLiteral("通话测试"));
    }
}

void TelephonePage::CheckModem()
{
    if (!m_ui.cbTel->isChecked())
        return;
    m_tel->refreshDevices();
    if (!m_tel->DeviceNames().isEmpty()) {
        m_tel->setSelectedDevice(m_tel->DeviceNames().first());
        m_ui.Edit12->setText(m_tel->SelectedDevice());
    } else {
        m_host.addInfo(noModemText());
        m_prompter.message(QStringLiteral("提示"), noModemText(), Prompter::Icon::Information);
    }
}

void TelephonePage::BitBtn5Click()
{
    m_tel->ChooseDevice();
    m_ui.Edit12->setText(m_tel->SelectedDevice());
}

void TelephonePage::Edit6Enter()
{
    const QString file = m_prompter.openFile(m_dataDir, QStringLiteral("声音文件 (*.wav *.WAV)"));
    if (!file.isEmpty())
        m_ui.Edit6->setText(QFileInfo(file).absoluteFilePath());
}

bool TelephonePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui.Edit6 && event->type() == QEvent::FocusIn)
        Edit6Enter();
    return QObject::eventFilter(watched, event);
}
