#pragma once

#include "records/LineStore.h"

#include <QObject>

// The information pane mInfor, the operator's running record, and the report pane mRep laid over
// it. Every subsystem reports through addInfo; a few lines (mail results, received alarms, usage
// text) go in directly so that a report on display stays in front.
class InfoPane : public QObject {
    Q_OBJECT
public:
    explicit InfoPane(QObject* parent = nullptr);

    LineStore& info() { return m_info; }
    const LineStore& info() const { return m_info; }
    LineStore& report() { return m_report; }
    const LineStore& report() const { return m_report; }

    bool reportShown() const { return m_reportShown; }
    void setReportShown(bool shown);

    // AddInfo: hides the report pane, then appends the text as given (no time stamp is added).
    void addInfo(const QString& text);
    // Appends to the information pane without hiding the report pane.
    void appendDirect(const QString& text);

Q_SIGNALS:
    void reportShownChanged(bool shown);
    // Every line that reaches the information pane, for the headless echo to standard output.
    void lineAdded(const QString& line);

private:
    LineStore m_info;
    LineStore m_report;
    bool m_reportShown = false;
};
