#include "phone/ModemChannel.h"

#include "phone/TapiError.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
bool isFinal(const QByteArray& line)
{
    static const QList<QByteArray> finals{"OK",        "CONNECT",    "VCON",        "ERROR",       "BUSY",
                                          "NO ANSWER", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE"};
    return finals.contains(line) || line.startsWith("CONNECT ");
}
constexpr int kMaxInfoLines = 64;
} // namespace

ModemChannel::ModemChannel(const QString& path, const QString& lockFolder, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_lock(path, lockFolder)
{
    m_port.setPortName(path);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish({}); });
    connect(&m_port, &QSerialPort::readyRead, this, &ModemChannel::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &ModemChannel::onError);
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] {
        if (m_port.bytesToWrite() == 0)
            emit drained();
    });
}

ModemChannel::~ModemChannel()
{
    m_port.disconnect(this);
    m_queue.clear();
    m_current.reset();
    close();
}

int ModemChannel::lineBytesPerSecond(const QString& path)
{
    // A UART (ttyS, and the USB adapters ttyUSB, which drive one) sends ten bits a byte at the rate;
    // a USB modem (ttyACM) takes data at the bus's speed whatever the rate, and a pseudo-terminal has
    // no line at all. The name given says what the port is; a link (/dev/modem) is followed.
    static const QRegularExpression uart(QStringLiteral("^tty(S|USB|AMA)\\d+$"));
    static const QRegularExpression usb(QStringLiteral("^ttyACM\\d+$"));
    const int uartBytes = kBaud / 10;
    const QString given = QFileInfo(path).fileName();
    if (uart.match(given).hasMatch())
        return uartBytes;
    if (usb.match(given).hasMatch())
        return 0;
    const QString target = QFileInfo(path).canonicalFilePath();
    if (usb.match(QFileInfo(target).fileName()).hasMatch() || target.startsWith(QLatin1String("/dev/pts/")))
        return 0;
    return uartBytes;
}

bool ModemChannel::open(QString* error, int* code)
{
    if (!m_lock.acquire(error)) {
        *code = TapiErrors::codeOf(TapiErrors::kAllocated);
        *error = QStringLiteral("%1: %2").arg(m_path, *error);
        return false;
    }
    if (!m_port.open(QIODevice::ReadWrite)) {
        *code = TapiErrors::codeOf(TapiErrors::kBadDeviceId);
        *error = QStringLiteral("%1 cannot be opened: %2").arg(m_path, m_port.errorString());
        m_lock.release();
        return false;
    }
    // 115200 carries 8-bit voice at 8 kHz, not 16-bit; USB modems ignore the rate. The modem paces
    // the sound by CTS.
    m_port.setBaudRate(kBaud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::HardwareControl);
    m_port.clear();
    m_stream.reset();
    return true;
}

void ModemChannel::close()
{
    m_timeout.stop();
    if (m_port.isOpen())
        m_port.close();
    m_lock.release();
    m_data = false;
    // Whoever waits learns that no answer will come.
    std::deque<Pending> waiting;
    waiting.swap(m_queue);
    if (m_current)
        waiting.push_front(std::move(*m_current));
    m_current.reset();
    for (Pending& pending : waiting)
        if (pending.done)
            pending.done({});
}

void ModemChannel::command(const QByteArray& text, int timeoutMs, Done done)
{
    m_queue.push_back({text, timeoutMs, std::move(done)});
    startNext();
}

ModemChannel::Reply ModemChannel::commandAndWait(const QByteArray& text, int timeoutMs)
{
    QEventLoop loop;
    Reply reply;
    bool finished = false;
    command(text, timeoutMs, [&](const Reply& r) {
        reply = r;
        finished = true;
        loop.quit();
    });
    if (!finished)
        loop.exec();
    return reply;
}

void ModemChannel::finishData(int timeoutMs, Done done)
{
    // The final result is awaited ahead of anything queued behind the data.
    m_queue.push_front({QByteArray(), timeoutMs, std::move(done)});
    m_data = false;
    startNext();
}

void ModemChannel::abortCommand()
{
    if (m_current && m_port.isOpen())
        m_port.write("\r");
}

void ModemChannel::writeData(const QByteArray& bytes)
{
    if (m_port.isOpen())
        m_port.write(bytes);
}

void ModemChannel::flush(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (m_port.isOpen() && m_port.bytesToWrite() > 0 && clock.elapsed() < ms)
        m_port.waitForBytesWritten(int(ms - clock.elapsed()));
}

void ModemChannel::clearOutput()
{
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Output);
}

void ModemChannel::startNext()
{
    if (m_current || m_data || m_queue.empty())
        return;
    if (!m_port.isOpen()) {
        close();
        return;
    }
    m_current = std::make_unique<Pending>(std::move(m_queue.front()));
    m_queue.pop_front();
    m_reply = {};
    if (!m_current->text.isEmpty())
        m_port.write(m_current->text + '\r');
    m_timeout.start(m_current->timeoutMs);
}

void ModemChannel::onReadyRead()
{
    const QList<ModemStream::Event> events = m_stream.feed(m_port.readAll());
    for (const ModemStream::Event& event : events) {
        switch (event.kind) {
        case ModemStream::Event::Line:
            onLine(event.line);
            break;
        case ModemStream::Event::Code:
            emit codeReceived(event.code);
            break;
        case ModemStream::Event::Key:
            emit keyReceived(event.code);
            break;
        }
        if (!m_port.isOpen())
            return;
    }
}

void ModemChannel::onLine(const QByteArray& line)
{
    if (!m_current) {
        emit unsolicited(line);
        return;
    }
    if (!m_current->text.isEmpty() && line.compare(m_current->text, Qt::CaseInsensitive) == 0)
        return; // the echo of our command
    if (isFinal(line)) {
        finish(line);
    } else if (m_reply.lines.size() < kMaxInfoLines) {
        m_reply.lines.append(line);
    }
}

void ModemChannel::finish(const QByteArray& result)
{
    if (!m_current)
        return;
    m_timeout.stop();
    std::unique_ptr<Pending> done = std::move(m_current);
    Reply reply = std::move(m_reply);
    reply.result = result;
    if (result.startsWith("CONNECT") && !done->text.isEmpty())
        m_data = true;
    if (done->done)
        done->done(reply);
    startNext();
}

void ModemChannel::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::PermissionError &&
        error != QSerialPort::ReadError && error != QSerialPort::WriteError)
        return;
    const QString reason = QStringLiteral("The serial line %1 was lost: %2").arg(m_path, m_port.errorString());
    close();
    emit lost(reason);
}
