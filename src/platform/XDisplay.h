#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Where the X server of a display name (the DISPLAY variable) listens, and whether one answers
// there. Qt ends the program when it cannot reach the display it was given, so the monitor asks
// first and runs without a window instead.
namespace XDisplay {

struct Address {
    QString host; // empty: this machine, through its local socket
    int number = 0;
};

// ":0", ":1.0", "unix:2", "host:10.0"; nullopt for a name that is none of these.
std::optional<Address> parse(const QString& display);

// The local socket path of a display number, "/tmp/.X11-unix/X<n>".
QString socketPath(int number);

// True when a connection to the display's server can be opened within about a second.
bool reachable(const QString& display);

// True when the X server lets a client in: the whole connection setup of the X protocol succeeds,
// with the authorisation of XAUTHORITY, within the given number of attempts that are the pause
// apart. A server may take the socket and still refuse the client (no authorisation, too many
// clients) or be on its way up or down; Qt ends the program when its own connection fails. A server
// that does not answer a setup within two seconds is not tried again. When false, *refusal says why:
// the server's own reason ("Maximum number of clients reached") or that it did not answer.
bool admitsClient(const QString& display, int attempts, std::chrono::milliseconds pause, QString* refusal = nullptr);

} // namespace XDisplay
