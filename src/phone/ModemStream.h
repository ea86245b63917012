#pragma once

#include <QByteArray>
#include <QList>

// What a V.253 modem sends, split into result lines and DLE-shielded events. Lines end with CR or LF
// and empty ones are skipped; a DLE pair may arrive anywhere, even in the middle of a line. Telephone
// keys come as single codes or bracketed by "/" and "~" (or DEL), inside which repeats of the same key
// are one press.
class ModemStream {
public:
    struct Event {
        enum Kind { Line, Code, Key } kind;
        QByteArray line; // Line: the text without its line end
        char code = 0;   // Code: the byte after DLE; Key: the telephone key
        bool operator==(const Event&) const = default;
    };

    // Longest line kept; a longer run of bytes without a line end is garbage and is dropped.
    static constexpr int kMaxLine = 512;

    QList<Event> feed(const QByteArray& bytes);
    void reset();

    static bool isKey(char code);

private:
    void code(char c, QList<Event>& events);

    QByteArray m_line;
    bool m_afterDle = false;
    bool m_discarding = false; // the rest of an overlong line
    bool m_inBracket = false;
    bool m_keyInBracket = false;
};
