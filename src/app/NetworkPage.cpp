#include "app/NetworkPage.h"

#include "alarm/AlarmDispatch.h"
#include "app/MemoLines.h"
#include "app/WindowUi.h"
#include "records/InfoPane.h"
#include "shared/TextSplit.h"
#include "shared/TimeStamp.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
constexpr int kDefaultPort = 44444;

MessengerSender& messengerOf(MessengerSender* given, std::unique_ptr<MessengerSender>& own)
{
    if (given)
        return *given;
    own = std::make_unique<SmbclientMessenger>();
    return *own;
}
} // namespace

NetworkPage::NetworkPage(const WindowUi& ui, InfoPane& pane, AlarmDispatch& dispatch, MessengerSender* messenger)
    : m_ui(ui)
    , m_udp([this](const QByteArray& payload, quint32 sender) { m_received.UdpSrvUDPRead(payload, sender); })
    , m_alarms(NetworkAlarms::Host{
                   [this] {
                       return NetworkAlarms::Settings{m_ui.cbUseMess->isChecked(), m_ui.cbUseSelf->isChecked(),
                                                      m_ui.cbAlarmType->isChecked(), m_ui.cbAddMemo->isChecked(),
                                                      m_ui.MemoInfor->text()};
                   },
                   [this] { return MemoLines::lines(m_ui.mRecIp); },
                   [&pane](const QString& line) { pane.addInfo(line); }, [] { return TimeStamp::prefix(); },
                   [&dispatch](AlarmChannel channel, bool ok) { dispatch.tallySent(channel, ok); }},
               m_udp, messengerOf(messenger, m_ownMessenger))
    , m_received(ReceivedAlarms::Host{[this] { return MemoLines::lines(m_ui.mRecIp); },
                                      [&pane](const QString& line) { pane.appendDirect(line); },
                                      [] { return TimeStamp::prefix(); }},
                 dispatch)
{
    dispatch.sendNetworkAlarm = [this](int code, const QByteArray& address) {
        m_alarms.SendNetworkAlarm(code, address);
    };
}

int NetworkPage::portOf(const QString& text)
{
    const std::optional<int> port = TextSplit::toInt(text);
    return port && *port >= 0 && *port <= 65535 ? *port : kDefaultPort;
}

void NetworkPage::open(std::optional<int> port)
{
    m_udp.setDefaultPort(port.value_or(portOf(m_ui.edtDefPort->text())));
    m_udp.open();
}
