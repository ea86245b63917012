#include "app/Prompter.h"

#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>

void WidgetPrompter::message(const QString& caption, const QString& text, Icon icon)
{
    if (icon == Icon::Error)
        QMessageBox::critical(m_parent, caption, text);
    else
        QMessageBox::information(m_parent, caption, text);
}

bool WidgetPrompter::question(const QString& caption, const QString& text)
{
    return QMessageBox::question(m_parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

QString WidgetPrompter::openFile(const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), folder, filter);
}

namespace {
void toStandardError(const QString& caption, const QString& text)
{
    std::fputs(QStringLiteral("[%1] %2\n").arg(caption, text).toUtf8().constData(), stderr);
    std::fflush(stderr);
}
} // namespace

void StreamPrompter::message(const QString& caption, const QString& text, Icon)
{
    toStandardError(caption, text);
}

bool StreamPrompter::question(const QString& caption, const QString& text)
{
    toStandardError(caption, text);
    return false;
}

QString StreamPrompter::openFile(const QString&, const QString&)
{
    return QString();
}
