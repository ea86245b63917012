#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable failure output for the Qt strings the mail tests compare.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"';
    for (char c : bytes) {
        if (c == '\r')
            *out << "\\r";
        else if (c == '\n')
            *out << "\\n";
        else if (c == '\t')
            *out << "\\t";
        else
            *out << c;
    }
    *out << '"';
}
