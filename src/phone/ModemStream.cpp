#include "phone/ModemStream.h"

namespace {
constexpr char kDle = 0x10;
}

bool ModemStream::isKey(char c)
{
    return (c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D');
}

void ModemStream::reset()
{
    m_line.clear();
    m_afterDle = m_inBracket = m_keyInBracket = m_discarding = false;
}

QList<ModemStream::Event> ModemStream::feed(const QByteArray& bytes)
{
    QList<Event> events;
    for (char c : bytes) {
        if (m_afterDle) {
            m_afterDle = false;
            code(c, events);
        } else if (c == kDle) {
            m_afterDle = true;
        } else if (c == '\r' || c == '\n') {
            if (!m_line.isEmpty() && !m_discarding)
                events.append({Event::Line, m_line.trimmed(), 0});
            m_line.clear();
            m_discarding = false;
        } else if (m_line.size() < kMaxLine) {
            m_line.append(c);
        } else {
            m_discarding = true;
        }
    }
    return events;
}

void ModemStream::code(char c, QList<Event>& events)
{
    if (c == '/') {
        m_inBracket = true;
        m_keyInBracket = false;
    } else if (c == '~' || c == 0x7F) {
        m_inBracket = false;
    } else if (isKey(c)) {
        if (!(m_inBracket && m_keyInBracket))
            events.append({Event::Key, {}, c});
        m_keyInBracket = m_inBracket;
    } else {
        events.append({Event::Code, {}, c});
    }
}
