#pragma once

#include "desktop/Autostart.h"
#include "metrics/MetricsEndpoint.h"

#include <QString>
#include <QStringList>

#include <optional>

class EchoProbe;
class MessengerSender;
class Prompter;
class TerminationFlag;

// What the window is started with: the program's folder, how it talks to the operator, and whether it
// runs without a window.
struct AppContext {
    QString dataDir;
    Prompter* prompter = nullptr;
    bool headless = false;
    // Where the start-at-login entry goes; tests point it into a folder of their own.
    QString autostartLocation = Autostart::defaultLocation();
    // The echo probe the ping cycle uses; null: the window's own ICMP probe.
    EchoProbe* probe = nullptr;
    // Raised when the program is to end; the blocking waits watch it. Null: nothing to watch.
    TerminationFlag* termination = nullptr;
    // Where Messenger messages go; null: Samba's client.
    MessengerSender* messenger = nullptr;
    // The network alarm port instead of the one edtDefPort names (0: one the system chooses).
    std::optional<int> alarmPort;
    // Where the metrics are served instead of the port the network page names.
    std::optional<MetricsEndpoint> metrics;
    // Serial devices named on the command line, offered as telephone lines besides the ports found.
    QStringList modems;
    // Whether the cycles keep the round-trip history (the benchmark compares without).
    bool keepHistory = true;
};
