#include "desktop/gui/TrayIcon.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kSize = 32;
constexpr QRgb kNormalFill = 0x149646; // also the fill of dist/tarnwicker.svg

// Drawn on a 32 x 32 grid and scaled to the size asked for.
QPixmap drawImage(const QColor& fill, bool alarm, int size = kSize)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kSize, qreal(size) / kSize);
    if (alarm) {
        // A warning triangle with an exclamation mark.
        QPainterPath triangle;
        triangle.moveTo(16, 1.5);
        triangle.lineTo(31, 29.5);
        triangle.lineTo(1, 29.5);
        triangle.closeSubpath();
        p.setPen(QPen(QColor(120, 0, 0), 1.5));
        p.setBrush(fill);
        p.drawPath(triangle);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(14.2, 9, 3.6, 12), 1.5, 1.5);
        p.drawEllipse(QRectF(14, 23, 4, 4));
    } else {
        // A round screen with a pulse line: the monitor watching its lines.
        p.setPen(QPen(QColor(0, 70, 30), 1.5));
        p.setBrush(fill);
        p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
        p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF pulse[] = {{5, 17}, {11, 17}, {14, 9}, {18, 24}, {21, 14}, {23, 17}, {27, 17}};
        p.drawPolyline(pulse, std::size(pulse));
    }
    return pixmap;
}

} // namespace

QPixmap TrayIcon::normalImage()
{
    return drawImage(QColor(kNormalFill), false);
}

QPixmap TrayIcon::alarmImage()
{
    return drawImage(QColor(220, 30, 30), true);
}

QIcon TrayIcon::applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(drawImage(QColor(kNormalFill), false, size));
    return icon;
}

TrayIcon::TrayIcon(QObject* parent)
    : TrayIcon(&QSystemTrayIcon::isSystemTrayAvailable, parent)
{}

TrayIcon::TrayIcon(Probe probe, QObject* parent, int retryMs, int retries)
    : QObject(parent)
    , m_probe(std::move(probe))
    , m_retriesLeft(retries)
    , m_menu(new QMenu)
    , m_normalIcon(normalImage())
    , m_alarmIcon(alarmImage())
{
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    connect(addAction(QStringLiteral("Ping1"), QStringLiteral("Ping")), &QAction::triggered, this,
            &TrayIcon::pingRequested);
    connect(addAction(QStringLiteral("N2"), QStringLiteral("显示主画面")), &QAction::triggered, this,
            &TrayIcon::showRequested);
    connect(addAction(QStringLiteral("N1"), QStringLiteral("退出系统")), &QAction::triggered, this,
            &TrayIcon::exitRequested);
    if (m_probe()) {
        makeEntry();
        return;
    }
    if (m_retriesLeft > 0) {
        m_retryTimer.setInterval(retryMs);
        connect(&m_retryTimer, &QTimer::timeout, this, &TrayIcon::retry);
        m_retryTimer.start();
    }
}

void TrayIcon::makeEntry()
{
    m_tray = new QSystemTrayIcon(m_alarm ? m_alarmIcon : m_normalIcon, this);
    m_tray->setObjectName(QStringLiteral("TrayIcon"));
    m_tray->setToolTip(tipFor(m_alarmingCount));
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
}

void TrayIcon::retry()
{
    --m_retriesLeft;
    if (!m_probe()) {
        if (m_retriesLeft <= 0)
            m_retryTimer.stop();
        return;
    }
    m_retryTimer.stop();
    makeEntry();
    if (m_shown)
        m_tray->show();
    emit becameAvailable();
}

TrayIcon::~TrayIcon()
{
    // The entry goes first: the menu it points to must outlive it.
    delete m_tray;
    delete m_menu;
}

QAction* TrayIcon::addAction(const QString& objectName, const QString& text)
{
    QAction* action = m_menu->addAction(text);
    action->setObjectName(objectName);
    return action;
}

void TrayIcon::show()
{
    m_shown = true;
    if (m_tray)
        m_tray->show();
}

void TrayIcon::hide()
{
    m_shown = false;
    if (m_tray)
        m_tray->hide();
}

void TrayIcon::setAlarmIcon(bool alarm)
{
    if (alarm == m_alarm)
        return;
    m_alarm = alarm;
    if (m_tray)
        m_tray->setIcon(alarm ? m_alarmIcon : m_normalIcon);
}

QString TrayIcon::tipFor(int alarmingCount)
{
    if (alarmingCount <= 0)
        return kTip;
    return kTip + QStringLiteral("\n当前报警地址：%1个").arg(alarmingCount);
}

void TrayIcon::setAlarmingCount(int count)
{
    if (count == m_alarmingCount)
        return;
    m_alarmingCount = count;
    if (m_tray)
        m_tray->setToolTip(tipFor(count));
}

void TrayIcon::showMessage(const QString& title, const QString& text)
{
    if (!m_tray)
        return;
    m_tray->showMessage(title, text, QSystemTrayIcon::Warning, kMessageMs);
    emit messageShown(title, text);
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The right button opens the context menu by itself; every other click but the double one is
    // ignored, as the operator knows it.
    if (reason == QSystemTrayIcon::DoubleClick)
        emit doubleClicked();
}
