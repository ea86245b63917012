#pragma once

#include <QList>
#include <QString>

// One mailbox of a mail: the address and, when the operator wrote one, a display name.
struct MailAddress {
    QString name;
    QString address;

    bool operator==(const MailAddress&) const = default;
};

namespace MailAddressList {

// Reads an address list as the operator types it into the recipient field: pieces separated by ","
// or ";" outside double quotes and parentheses, a backslash taking the next character literally,
// a group name before ":" dropped, each piece a bare address or a display name followed by the
// address in "<" and ">". Parenthesised comments are left out. Empty pieces and "<>" are dropped.
QList<MailAddress> parse(const QString& text);

} // namespace MailAddressList
