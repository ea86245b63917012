#include "app/ControlEvents.h"

#include "app/SettingsBinder.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>

void ControlEvents::onExit(QWidget* control, Handler handler)
{
    control->installEventFilter(this);
    m_exit.insert(control, handler);
    // Spin fields and combo boxes edit in an inner line edit that may hold the focus itself.
    if (auto* inner = control->findChild<QLineEdit*>()) {
        inner->installEventFilter(this);
        m_exit.insert(inner, handler);
    }
}

void ControlEvents::onClick(QWidget* control, Handler handler)
{
    control->installEventFilter(this);
    m_click.insert(control, std::move(handler));
}

void ControlEvents::onDoubleClick(QWidget* control, Handler handler)
{
    control->installEventFilter(this);
    m_doubleClick.insert(control, std::move(handler));
}

void ControlEvents::leave(QWidget* control)
{
    const auto handler = m_exit.constFind(control);
    if (handler != m_exit.constEnd())
        (*handler)();
}

void ControlEvents::focusLeft(QObject* watched)
{
    const auto handler = m_exit.constFind(watched);
    if (handler == m_exit.constEnd())
        return;
    // Focus moving inside the same control (a spin field and its inner edit) is not leaving it.
    auto* control = static_cast<QWidget*>(watched);
    QWidget* owner = m_exit.contains(control->parentWidget()) ? control->parentWidget() : control;
    QWidget* now = QApplication::focusWidget();
    if (!now || (now != owner && !owner->isAncestorOf(now)))
        (*handler)();
}

bool ControlEvents::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            SettingsBinder::rememberText(edit);
        break;
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            focusLeft(watched);
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_click.contains(watched))
            m_click.value(watched)();
        break;
    case QEvent::MouseButtonDblClick:
        if (m_doubleClick.contains(watched))
            m_doubleClick.value(watched)();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
