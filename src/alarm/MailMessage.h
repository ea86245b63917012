#pragma once

#include "alarm/MailAddress.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One mail as the SMTP client sends it. The body lines are shared, not copied, when the message is
// filled from the information pane (QStringList is implicitly shared).
struct MailMessage {
    MailAddress from;
    QString sender; // the "Sender" address
    QList<MailAddress> to;
    QList<MailAddress> cc;
    QList<MailAddress> bcc;
    QString subject;
    QStringList body;
    int priority = 3;              // normal
    std::optional<QDateTime> date; // none: the moment of sending
};
