#include "records/InfoPane.h"

InfoPane::InfoPane(QObject* parent)
    : QObject(parent)
{
    connect(&m_info, &LineStore::linesAppended, this, [this](qsizetype first, qsizetype last) {
        for (qsizetype i = first; i <= last; ++i)
            Q_EMIT lineAdded(m_info.line(i));
    });
}

void InfoPane::setReportShown(bool shown)
{
    if (shown == m_reportShown)
        return;
    m_reportShown = shown;
    Q_EMIT reportShownChanged(shown);
}

void InfoPane::addInfo(const QString& text)
{
    setReportShown(false);
    m_info.append(text);
}

void InfoPane::appendDirect(const QString& text)
{
    m_info.append(text);
}
