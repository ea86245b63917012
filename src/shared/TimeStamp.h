#pragma once

#include <QDateTime>
#include <QString>

namespace TimeStamp {

// "YYYY-MM-DD HH:MM:SS -> ": the prefix of verdict lines, send results and received alarms.
QString prefix(const QDateTime& now = QDateTime::currentDateTime());

// "YYYYMMDDHHMMSS": the time stamp in log and report file names.
QString fileStamp(const QDateTime& now = QDateTime::currentDateTime());

} // namespace TimeStamp
