#include "app/MonitorApplication.h"

#include "platform/AppError.h"

#include <cstdio>

bool MonitorApplication::notify(QObject* receiver, QEvent* event)
{
    QString text;
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& e) {
        text = e.text();
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    }
    if (m_errorSink)
        m_errorSink(text);
    else
        std::fputs((text + u'\n').toLocal8Bit().constData(), stderr);
    return false;
}
