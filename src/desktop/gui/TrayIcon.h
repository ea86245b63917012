#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QSystemTrayIcon>

class QAction;
class QMenu;

// The notification-area entry of the main window: its two icons (normal, and the alarm icon the
// countdown blinks with), the tip, and the menu PopupMenu1 with Ping1 "Ping", N2 "显示主画面" and
// N1 "退出系统". Where the desktop has no notification area the entry is not made and every call
// is harmless: the program then runs without one (the window minimises instead of hiding).
class TrayIcon : public QObject {
    Q_OBJECT
public:
    static inline const QString kTip = QStringLiteral("Tarnwicker网络检测员V2.0");

    // Asks the desktop whether it has a notification area.
    explicit TrayIcon(QObject* parent = nullptr);
    // The answer given, for tests and for a window that knows better.
    TrayIcon(bool available, QObject* parent);
    ~TrayIcon() override;

    bool isAvailable() const { return m_tray != nullptr; }

    // Adds the entry to the notification area (start-up) and removes it (shutdown).
    void show();
    void hide();

    // Image1 (false) or Image2 (true); the countdown alternates them while an alarm is current.
    void setAlarmIcon(bool alarm);
    bool showsNormalIcon() const { return !m_alarm; }

    QMenu* menu() const { return m_menu; }
    // The entry itself; nullptr where there is no notification area.
    QSystemTrayIcon* systemTrayIcon() const { return m_tray; }

    // The hidden images Image1 and Image2: 32 x 32, drawn here so that no file can go missing.
    static QPixmap normalImage();
    static QPixmap alarmImage();

signals:
    void pingRequested(); // Ping1
    void showRequested(); // N2
    void exitRequested(); // N1
    void doubleClicked(); // the window shows itself, or comes to the front when shown

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    QAction* addAction(const QString& objectName, const QString& text);

    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QIcon m_normalIcon;
    QIcon m_alarmIcon;
    bool m_alarm = false;
};
