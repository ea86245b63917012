#include "SimulatedModem.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr char kDle = 0x10;
constexpr char kEtx = 0x03;
constexpr char kCan = 0x18;
} // namespace

SimulatedModem::SimulatedModem()
{
    m_clock.start();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        qFatal("no pseudo-terminal: %s", strerror(errno));
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // Held open so that the terminal stays raw and alive between the driver's opens.
    m_slave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SimulatedModem::onReadable);
    m_transmitTimer.setInterval(10);
    connect(&m_transmitTimer, &QTimer::timeout, this, &SimulatedModem::transmitTick);
}

SimulatedModem::~SimulatedModem()
{
    unplug();
}

QString SimulatedModem::linkAs(const QString& name)
{
    if (!m_links)
        m_links = std::make_unique<QTemporaryDir>();
    const QString link = m_links->filePath(name);
    QFile::link(m_slavePath, link);
    return link;
}

void SimulatedModem::unplug()
{
    m_notifier.reset();
    m_transmitTimer.stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

void SimulatedModem::write(const QByteArray& bytes)
{
    if (m_master >= 0 && ::write(m_master, bytes.constData(), size_t(bytes.size())) < 0 && errno != EAGAIN)
        qWarning("simulated modem: write failed: %s", strerror(errno));
}

void SimulatedModem::later(int ms, std::function<void()> action)
{
    QTimer::singleShot(ms, this, std::move(action));
}

void SimulatedModem::line(const QByteArray& text)
{
    write(m_verbose ? "\r\n" + text + "\r\n" : text + "\r\n");
}

void SimulatedModem::result(const QByteArray& text)
{
    static const QList<QPair<QByteArray, QByteArray>> numeric{
        {"OK", "0"},          {"CONNECT", "1"}, {"NO CARRIER", "3"}, {"ERROR", "4"},
        {"NO DIALTONE", "6"}, {"BUSY", "7"},    {"NO ANSWER", "8"}};
    if (m_verbose) {
        write("\r\n" + text + "\r\n");
        return;
    }
    for (const auto& [word, code] : numeric)
        if (word == text)
            return write(code + "\r");
    write(text + "\r");
}

void SimulatedModem::pressKey(char key)
{
    const char bytes[] = {kDle, '/', kDle, key, kDle, '~'};
    write(QByteArray(bytes, sizeof bytes));
}

void SimulatedModem::sendEvent(char code)
{
    const char bytes[] = {kDle, code};
    write(QByteArray(bytes, sizeof bytes));
}

int SimulatedModem::bytesPerSecond() const
{
    for (const QByteArray& format : formats)
        if (format.startsWith(QByteArray::number(selectedFormat) + ','))
            return format.contains(",16,") ? 16000 : 8000;
    return 8000;
}

void SimulatedModem::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0)
        onBytes(QByteArray(buffer, int(n)));
}

void SimulatedModem::onBytes(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_transmitting) {
            transmitBytes(bytes.mid(i));
            return;
        }
        const char c = bytes[i];
        if (m_dialling) {
            // Any character aborts a dial in progress.
            m_dialling = false;
            ++m_call;
            result("NO CARRIER");
            continue;
        }
        if (c == '\r') {
            const QByteArray command = m_input;
            m_input.clear();
            if (!command.trimmed().isEmpty())
                onCommandLine(command.trimmed());
        } else if (c != '\n' && m_input.size() < 256) {
            m_input.append(c);
        }
    }
}

void SimulatedModem::onCommandLine(const QByteArray& text)
{
    commands.append(text);
    emit commandReceived(text);
    if (mute)
        return;
    if (m_echo)
        write(text + "\r");
    if (garbage) {
        write("\r\n\x7f#%?~~garbage\r\n");
        return;
    }
    auto respond = [this, text] {
        const QByteArray upper = text.toUpper();
        if (!upper.startsWith("AT"))
            return result("ERROR");
        bool dialled = false;
        const QList<QByteArray> info = execute(text.mid(2), &dialled);
        if (dialled)
            return;
        for (const QByteArray& l : info.mid(0, info.size() - 1))
            line(l);
        if (!info.isEmpty())
            result(info.last());
    };
    if (commandDelayMs > 0)
        later(commandDelayMs, respond);
    else
        respond();
}

// The answer lines of one command line, the final result last; a dial answers later by itself.
QList<QByteArray> SimulatedModem::execute(QByteArray body, bool* dialled)
{
    QList<QByteArray> info;
    while (!body.isEmpty()) {
        const char c = char(QChar::fromLatin1(body[0]).toUpper().toLatin1());
        if (c == '+') {
            const qsizetype end = body.indexOf(';');
            const QByteArray command = body.mid(1, end < 0 ? -1 : end - 1).toUpper();
            body = end < 0 ? QByteArray() : body.mid(end + 1);
            if (!extended(command, &info))
                return info << "ERROR";
            if (command == "VTX")
                return info << "CONNECT";
            continue;
        }
        if (c == 'D') {
            dial(body.mid(1));
            *dialled = true;
            return {};
        }
        qsizetype i = 1;
        if (c == '&' && body.size() > 1)
            ++i;
        int value = 0;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9')
            value = value * 10 + (body[i++] - '0');
        body = body.mid(i);
        switch (c) {
        case 'E':
            m_echo = value != 0;
            break;
        case 'V':
            m_verbose = value != 0;
            break;
        case 'Z':
            m_echo = m_verbose = true;
            m_class = 0;
            endCall();
            break;
        case 'H':
            endCall();
            break;
        case 'I':
            // A product code no client keeps in its table of known modems, so that it probes for V.253.
            if (value == 0)
                info << "SIM253";
            else if (value == 3)
                info << identification;
            break;
        case 'Q':
        case 'L':
        case 'M':
        case 'X':
        case '&':
        case 'S':
            break;
        default:
            return info << "ERROR";
        }
    }
    return info << "OK";
}

bool SimulatedModem::extended(const QByteArray& command, QList<QByteArray>* info)
{
    if (command == "FCLASS=?") {
        *info << (voice ? "0,1,8" : "0,1");
    } else if (command == "FCLASS?") {
        *info << QByteArray::number(m_class);
    } else if (command.startsWith("FCLASS=")) {
        const int wanted = command.mid(7).toInt();
        if (wanted == 8 && !voice)
            return false;
        m_class = wanted;
    } else if (command == "VSM=?") {
        *info << formats;
    } else if (command.startsWith("VSM=")) {
        const QByteArray id = command.mid(4).split(',').first();
        if (!std::any_of(formats.begin(), formats.end(), [&](const QByteArray& f) { return f.startsWith(id + ','); }))
            return false;
        selectedFormat = id.toInt();
    } else if (command == "VLS=?") {
        *info << "0,\"\",00000000,00000000,00000000"
              << "1,\"T\",0B8433C1,0FE431C1,0B8431C1";
    } else if (command.startsWith("VLS=")) {
        if (m_class != 8)
            return false;
        if (command.mid(4).toInt() == 0)
            endCall();
        else
            m_offHook = true;
    } else if (command == "VTX") {
        if (m_class != 8 || !m_offHook)
            return false;
        m_transmitting = true;
        m_notifier->setEnabled(false); // the sound is taken at the line's pace by transmitTick
        m_pendingDle = false;
        m_sessionBytes = m_lineBytes = 0;
        m_dry = false;
        m_transmitClock.start();
        m_transmitTimer.start();
    } else if (command.startsWith("VTS=")) {
        if (m_class != 8)
            return false;
        toneLists << command.mid(4);
    } else if (command.startsWith("V") || command.startsWith("IFC") || command.startsWith("FM") ||
               command.startsWith("GM")) {
        if (command.endsWith('?'))
            *info << identification;
    } else {
        return false;
    }
    return true;
}

void SimulatedModem::dial(const QByteArray& number)
{
    dialTimes.append(m_clock.elapsed());
    const Callee callee = callees.value(std::min<qsizetype>(m_dials++, callees.size() - 1));
    m_dialling = true;
    m_offHook = true;
    const int call = ++m_call;
    if (callee.outcome == Callee::Silent)
        return;
    const bool rings = callee.outcome == Callee::Answer || callee.outcome == Callee::NoAnswer;
    const int count = rings ? callee.rings : 0;
    for (int i = 0; i < count; ++i)
        later(ringMs * (i + 1), [this, call] {
            if (call == m_call && m_dialling)
                sendEvent('r');
        });
    later(ringMs * (count + 1), [this, call, callee] {
        if (call != m_call || !m_dialling)
            return;
        m_dialling = false;
        switch (callee.outcome) {
        case Callee::Answer:
            result("OK");
            answered(callee);
            break;
        case Callee::Busy:
            // The tone is heard first; the dial is still in progress (a key aborts it) until BUSY.
            if (busyTone)
                sendEvent('b');
            m_dialling = true;
            later(busyTone ? busyResultMs : 0, [this, call] {
                if (call != m_call || !m_dialling)
                    return;
                m_dialling = false;
                result("BUSY");
            });
            break;
        case Callee::NoAnswer:
            result("NO ANSWER");
            break;
        case Callee::NoDialTone:
            result("NO DIALTONE");
            break;
        default:
            result("NO CARRIER");
        }
    });
}

void SimulatedModem::answered(const Callee& callee)
{
    m_connected = true;
    const int call = m_call;
    for (const auto& [ms, key] : callee.keys)
        later(ms, [this, call, key] {
            if (call == m_call && m_connected)
                pressKey(key);
        });
    if (callee.hangUpAfterMs >= 0)
        later(callee.hangUpAfterMs, [this, call] {
            if (call == m_call && m_connected)
                sendEvent('b');
        });
}

void SimulatedModem::endCall()
{
    m_offHook = m_connected = m_dialling = false;
    ++m_call;
}

void SimulatedModem::transmitTick()
{
    if (!m_transmitting || m_master < 0)
        return;
    // What the line has played by now, plus a small buffer of the modem's own.
    const qint64 elapsed = m_transmitClock.elapsed();
    const qint64 played = elapsed * bytesPerSecond() * speed / 1000;
    qint64 due = played + 256 - m_sessionBytes;
    if (due <= 0)
        return;
    // A UART brings in no more than its rate carries, however much the host has written.
    bool lineLimited = false;
    if (baud > 0) {
        const qint64 carried = elapsed * (baud / 10) * speed / 1000 - m_lineBytes;
        lineLimited = carried < due;
        due = std::min(due, carried);
    }
    QByteArray buffer(int(std::clamp<qint64>(due, 0, 4096)), Qt::Uninitialized);
    const ssize_t n = buffer.isEmpty() ? 0 : ::read(m_master, buffer.data(), size_t(buffer.size()));
    if (n > 0) {
        m_lineBytes += n;
        transmitBytes(buffer.left(int(n)));
    }
    // The sound ran out while the host had more to send, held up by the line: the called party hears
    // a gap, and the modem says so as real ones do.
    const bool dry = m_transmitting && lineLimited && n == buffer.size() && played > m_sessionBytes;
    if (dry && !m_dry) {
        ++underruns;
        sendEvent('u');
    }
    m_dry = dry;
}

void SimulatedModem::transmitBytes(const QByteArray& bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (m_pendingDle) {
            m_pendingDle = false;
            if (c == kDle) {
                audio.append(c);
                ++m_sessionBytes;
            } else if (c == kCan) {
                ++aborts;
            } else if (c == kEtx) {
                m_transmitting = false;
                m_transmitTimer.stop();
                m_notifier->setEnabled(true);
                audioSessionBytes.append(m_sessionBytes);
                lastSessionMs = m_transmitClock.elapsed();
                result("OK");
                emit audioReceived(audio.size());
                // Whatever follows is command text again.
                onBytes(bytes.mid(i + 1));
                return;
            }
        } else if (c == kDle) {
            m_pendingDle = true;
        } else {
            audio.append(c);
            ++m_sessionBytes;
        }
    }
    emit audioReceived(audio.size());
}
