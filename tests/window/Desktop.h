#pragma once

#include <QString>

// The X server and window manager that the window tests run on: a fresh Xvfb on a display of its
// own (so test programs side by side never share one) with openbox managing its windows, as an
// operator's desktop has one.
namespace Desktop {

// Starts both and points DISPLAY at them; false (with the reason on standard error) when either
// does not come up.
bool start();
void stop();
QString display();

} // namespace Desktop
