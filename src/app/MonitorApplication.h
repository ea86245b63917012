#pragma once

#include <QApplication>

#include <functional>

// The application object. An error that no handler caught ends the event it came from and is shown
// to the operator, as the monitor has always done, instead of ending the program without its log.
class MonitorApplication : public QApplication {
public:
    using QApplication::QApplication;

    void setErrorSink(std::function<void(const QString&)> sink) { m_errorSink = std::move(sink); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> m_errorSink;
};
