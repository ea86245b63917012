#pragma once

#include "alarm/MessengerSender.h"
#include "alarm/NetworkAlarms.h"
#include "alarm/ReceivedAlarms.h"
#include "alarm/UdpSrv.h"

#include <memory>

class AlarmDispatch;
class InfoPane;
struct WindowUi;

// The page "网络报警设置" and what stands behind it: the listener on the network alarm port, the
// alarms sent to the receivers of mRecIp and the alarms received from other stations. The window
// creates it, opens it at start-up and closes it when it is destroyed.
class NetworkPage {
public:
    // Without a sender of its own the page hands Messenger messages to Samba's client.
    NetworkPage(const WindowUi& ui, InfoPane& pane, AlarmDispatch& dispatch, MessengerSender* messenger = nullptr);

    // The network alarm port as start-up reads it from edtDefPort: 44444 unless it holds an integer
    // that is a port.
    static int portOf(const QString& text);

    // Start-up: sets the port from edtDefPort (or the given one) and opens the listener. Throws
    // SocketError when the port cannot be bound; every later send tries again.
    void open(std::optional<int> port = std::nullopt);
    // Shutdown: ends the listener and closes its socket.
    void close() { m_udp.close(); }

    NetworkAlarms& alarms() { return m_alarms; }
    UdpSrv& listener() { return m_udp; }
    ReceivedAlarms& received() { return m_received; }

private:
    const WindowUi& m_ui;
    std::unique_ptr<MessengerSender> m_ownMessenger;
    UdpSrv m_udp;
    NetworkAlarms m_alarms;
    ReceivedAlarms m_received;
};
