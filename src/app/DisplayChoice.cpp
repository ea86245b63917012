#include "app/DisplayChoice.h"

#include "platform/StderrCapture.h"
#include "platform/XDisplay.h"

#include <QGuiApplication>
#include <QString>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

// A server on its way up or down, or one briefly full, lets the monitor in within a second.
constexpr int kAdmitAttempts = 5;
constexpr auto kAdmitPause = 200ms;

void sayHeadless(const QString& why)
{
    std::fputs(QStringLiteral("tarnwicker: %1; running headless\n").arg(why).toLocal8Bit().constData(), stderr);
}

// False when there is no display to show the window on: none named, or an X display without a
// server behind it or whose server does not let the monitor in (Qt would abort there; a service that
// inherited such a DISPLAY would crash in a loop). The line on standard error says why the window
// stays away.
bool hasDisplay()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return false;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QStringLiteral("xcb")))
        return true;
    if (!XDisplay::reachable(display)) {
        sayHeadless(QStringLiteral("no X server answers on DISPLAY=%1").arg(display));
        return false;
    }
    QString refusal;
    if (!XDisplay::admitsClient(display, kAdmitAttempts, kAdmitPause, &refusal)) {
        sayHeadless(QStringLiteral("the window cannot be opened on DISPLAY=%1 (%2)").arg(display, refusal));
        return false;
    }
    return true;
#else
    return true;
#endif
}

// Without a desktop session (a service, a cron job) there is no runtime folder, and Qt says so on
// standard error, where the headless monitor's message boxes go. The monitor keeps that line to
// itself but leaves the environment alone: other libraries look for their servers by it (a
// PulseAudio started without one is found only where it expects its clients to look).
void quietenMissingRuntimeDir()
{
    static const QtMessageHandler next =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
                return;
            if (next)
                next(type, context, text);
            else
                std::fputs((qFormatLogMessage(type, context, text) + u'\n').toLocal8Bit().constData(), stderr);
        });
}

} // namespace

DisplayChoice::DisplayChoice(bool headlessAsked)
    : m_hadPlatform(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    , m_platform(qgetenv("QT_QPA_PLATFORM"))
{
    m_headless = headlessAsked || !hasDisplay();
    quietenMissingRuntimeDir();
    if (m_headless) {
        if (m_platform.isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
#if defined(Q_OS_LINUX)
    // Qt tries the platforms of a list in turn and takes the first that opens.
    const bool xcbChosen = m_platform.isEmpty() ? qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                                : m_platform.startsWith("xcb") && !m_platform.contains(';');
    if (xcbChosen) {
        qputenv("QT_QPA_PLATFORM", (m_platform.isEmpty() ? QByteArray("xcb") : m_platform) + ";offscreen");
        // What Qt and the X library say about a connection that fails is replaced by one line.
        m_qtSays = std::make_unique<StderrCapture>();
    }
#endif
}

DisplayChoice::~DisplayChoice() = default;

bool DisplayChoice::settle()
{
    if (!m_qtSays)
        return m_headless;
    const QByteArray said = m_qtSays->release();
    m_qtSays.reset();
    // Programs the monitor starts see the platform it was started with.
    if (m_hadPlatform)
        qputenv("QT_QPA_PLATFORM", m_platform);
    else
        qunsetenv("QT_QPA_PLATFORM");
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
        sayHeadless(QStringLiteral("the window cannot be opened on DISPLAY=%1").arg(qEnvironmentVariable("DISPLAY")));
        m_headless = true;
    } else {
        std::fwrite(said.constData(), 1, std::size_t(said.size()), stderr);
    }
    return m_headless;
}
