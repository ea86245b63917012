#include "app/AddressStandingHighlighter.h"

#include <QTextCharFormat>

AddressStandingHighlighter::AddressStandingHighlighter(QTextDocument* document, std::function<Thresholds()> thresholds)
    : QSyntaxHighlighter(document)
    , m_thresholds(std::move(thresholds))
{}

void AddressStandingHighlighter::highlightBlock(const QString& text)
{
    const Thresholds limits = m_thresholds();
    QTextCharFormat format;
    switch (AddressLine::standing(text, limits.quality, limits.rtt)) {
    case AddressLine::Standing::Normal:
        return;
    case AddressLine::Standing::Poor:
        format.setBackground(kPoorBackground);
        format.setForeground(Qt::black);
        break;
    case AddressLine::Standing::Down:
        format.setBackground(kDownBackground);
        format.setForeground(Qt::white);
        format.setFontWeight(QFont::Bold);
        break;
    }
    setFormat(0, int(text.size()), format);
}
