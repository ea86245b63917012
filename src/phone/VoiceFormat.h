#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

#include <optional>

// A voice compression a modem offers in its "AT+VSM=?" list, and the conversion of 8 kHz mono
// samples into it.
struct VoiceFormat {
    enum Coding { Linear16, Unsigned8, ULaw, ALaw };
    int id = 0; // the modem's own number (the same number means different codings on different chips)
    Coding coding = Linear16;
    int bytesPerSample() const { return coding == Linear16 ? 2 : 1; }

    // Parses the lines of "AT+VSM=?" ("128,\"8-BIT LINEAR\",8,0,(8000),(0),(0)", with or without a
    // "+VSM: " prefix) and returns the best format at 8000 Hz: 16-bit linear first, then 8-bit linear,
    // u-law, A-law; none when the modem offers none of them. With `lineBytesPerSecond` (0: no limit)
    // only a format the serial line carries in real time is chosen, as long as the modem offers one.
    static std::optional<VoiceFormat> best(const QList<QByteArray>& lines, int lineBytesPerSecond = 0);
    int bytesPerSecond() const { return 8000 * bytesPerSample(); }

    // The samples in this coding; 16-bit linear is little-endian, 8-bit linear unsigned around 0x80.
    QByteArray encode(const qint16* samples, qsizetype count) const;
};

namespace VoiceData {
// Doubles every DLE so that the modem takes it as data.
QByteArray shield(const QByteArray& data);
// Undoes the doubling; `pendingDle` carries a lone DLE at the end over to the next call. Pairs other
// than DLE DLE are returned in `codes` (ETX ends the stream, CAN clears it).
QByteArray unshield(const QByteArray& data, bool* pendingDle, QByteArray* codes);

quint8 uLaw(qint16 sample);
quint8 aLaw(qint16 sample);
} // namespace VoiceData

namespace DialString {
// The number as the modem dials it: blanks, "-", "(", ")" and "." dropped; empty (with *error set) when
// it holds a character a dial string cannot carry, or nothing to dial.
QByteArray clean(const QString& number, QString* error);
// The key list of "AT+VTS=": the keys 0-9, *, #, A-D separated by commas; others are dropped.
QByteArray toneList(const QString& digits);
} // namespace DialString
