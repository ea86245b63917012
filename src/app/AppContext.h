#pragma once

#include "desktop/Autostart.h"

#include <QString>
#include <QStringList>

class EchoProbe;
class Prompter;

// What the window is started with: the program's folder, how it talks to the operator, and whether it
// runs without a window.
struct AppContext {
    QString dataDir;
    Prompter* prompter = nullptr;
    bool headless = false;
    // Where the start-at-login entry goes; tests point it into a folder of their own.
    QString autostartLocation = Autostart::kDefaultLocation;
    // The echo probe the ping cycle uses; null: the window's own ICMP probe.
    EchoProbe* probe = nullptr;
    // Serial devices named on the command line, offered as telephone lines besides the ports found.
    QStringList modems;
};
