#pragma once

#include <QString>

// The X server, window manager and notification area that the window tests run on: a fresh Xvfb on
// a display of its own (so test programs side by side never share one) with openbox managing its
// windows and the trayer panel holding tray entries, as an operator's desktop has them; so every
// window made here gets its tray entry, and hides on close rather than minimising.
namespace Desktop {

// Starts them and points DISPLAY at them; false (with the reason on standard error) when one does
// not come up.
bool start();
void stop();
QString display();

} // namespace Desktop
