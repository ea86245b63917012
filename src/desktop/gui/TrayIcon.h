#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class QAction;
class QMenu;

// The notification-area entry of the main window: its two icons (normal, and the alarm icon the
// countdown blinks with), the tip, and the menu PopupMenu1 with Ping1 "Ping", N2 "显示主画面" and
// N1 "退出系统". Where the desktop has no notification area the entry is not made and every call
// is harmless: the program then runs without one (the window minimises instead of hiding).
// Started at login, the program can come up before the desktop's panel: so it keeps asking for a
// while, and makes the entry as soon as a notification area appears.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    static inline const QString kTip = QStringLiteral("Tarnwicker网络检测员V2.0");
    static constexpr int kRetryMs = 3000;
    static constexpr int kRetries = 200;      // ten minutes
    static constexpr int kMessageMs = 30'000; // how long a notice stays at the entry

    // Whether the desktop has a notification area now.
    using Probe = std::function<bool()>;

    // Asks the desktop (QSystemTrayIcon::isSystemTrayAvailable).
    explicit TrayIcon(QObject* parent = nullptr);
    // Asks the probe given, at once and then every retryMs until it says yes, at most retries times.
    TrayIcon(Probe probe, QObject* parent, int retryMs = kRetryMs, int retries = kRetries);
    ~TrayIcon() override;

    // True once the entry exists; the window hides on close only then, and minimises otherwise.
    bool isAvailable() const { return m_tray != nullptr; }

    // Adds the entry to the notification area (start-up) and removes it (shutdown).
    void show();
    void hide();

    // Image1 (false) or Image2 (true); the countdown alternates them while an alarm is current.
    void setAlarmIcon(bool alarm);
    bool showsNormalIcon() const { return !m_alarm; }

    // The tip adds how many addresses are alarming while an alarm is current (0: the caption alone).
    void setAlarmingCount(int count);
    // The caption, and below it "当前报警地址：N个" for a count above 0.
    static QString tipFor(int alarmingCount);

    // A notice in a balloon at the entry (where there is none, nothing is shown).
    void showMessage(const QString& title, const QString& text);

    QMenu* menu() const { return m_menu; }
    // The entry itself; nullptr where there is no notification area.
    QSystemTrayIcon* systemTrayIcon() const { return m_tray; }

    // The hidden images Image1 and Image2: 32 x 32, drawn here so that no file can go missing.
    static QPixmap normalImage();
    static QPixmap alarmImage();
    // The normal image at the sizes a window and a menu ask for: the window's and the desktop
    // entry's icon.
    static QIcon applicationIcon();

signals:
    void pingRequested();   // Ping1
    void showRequested();   // N2
    void exitRequested();   // N1
    void doubleClicked();   // the window shows itself, or comes to the front when shown
    void becameAvailable(); // a notification area appeared after start-up and holds the entry now
    void messageShown(const QString& title, const QString& text); // showMessage reached the entry

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    QAction* addAction(const QString& objectName, const QString& text);
    void makeEntry();
    void retry();

    Probe m_probe;
    QTimer m_retryTimer;
    int m_retriesLeft = 0;
    bool m_shown = false;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QIcon m_normalIcon;
    QIcon m_alarmIcon;
    bool m_alarm = false;
    int m_alarmingCount = 0;
};
