#pragma once

#include <QByteArray>

#include <memory>

class StderrCapture;

// Whether the monitor shows its window or runs headless. Qt ends the program when it cannot open the
// window system it was given, and a service or an autostart entry would then die without a trace; so
// the display is asked before the application object is made, and Qt is given the offscreen platform
// to fall back on should the X server go away in between. Either way the monitor then runs headless
// and says why in one line on standard error.
class DisplayChoice {
public:
    // Decides before the application object exists, and prepares its platform.
    explicit DisplayChoice(bool headlessAsked);
    ~DisplayChoice();
    DisplayChoice(const DisplayChoice&) = delete;
    DisplayChoice& operator=(const DisplayChoice&) = delete;

    // Once the application object exists: true when the monitor runs headless, also when Qt fell back
    // to the offscreen platform.
    bool settle();

private:
    bool m_headless = false;
    std::unique_ptr<StderrCapture> m_qtSays; // while the platform with its fallback opens
    bool m_hadPlatform = false;
    QByteArray m_platform; // QT_QPA_PLATFORM as the monitor was started with it
};
