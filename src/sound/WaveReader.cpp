#include "sound/WaveReader.h"

#include "sound/SndfileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <chrono>
#include <future>
#include <thread>

namespace {

QString notWave()
{
    return QStringLiteral("不是WAV声音文件");
}

int bitsOf(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

std::unique_ptr<QIODevice> openFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw SoundFileError(QStringLiteral("文件不存在"));
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw SoundFileError(QStringLiteral("文件无法读取：%1").arg(file->errorString()));
    return file;
}

} // namespace

std::optional<QString> riffLayoutFault(QIODevice& device)
{
    const qint64 size = device.size();
    char head[12];
    if (size < 12 || !device.seek(0) || device.read(head, 12) != 12 || memcmp(head, "RIFF", 4) != 0 ||
        memcmp(head + 8, "WAVE", 4) != 0)
        return notWave();
    bool format = false, data = false;
    // Every step moves on by at least eight bytes, so the walk ends within the file.
    for (qint64 pos = 12; pos + 8 <= size;) {
        char chunk[8];
        if (!device.seek(pos) || device.read(chunk, 8) != 8)
            return QStringLiteral("文件无法读取");
        const QByteArray id(chunk, 4);
        const qint64 length = qFromLittleEndian<quint32>(chunk + 4);
        if (id == "fmt ")
            format = true;
        if (pos + 8 + length > size) {
            // Only the samples may run past the end: a recording that was cut short.
            if (id == "data" && format)
                return std::nullopt;
            return QStringLiteral("WAV文件已损坏：\"%1\"块超出文件末尾").arg(QString::fromLatin1(id.toHex()));
        }
        data = data || (id == "data" && format);
        pos += 8 + length + (length & 1);
    }
    if (!data)
        return QStringLiteral("WAV文件已损坏：缺少格式块或声音数据块");
    return std::nullopt;
}

struct WaveReader::Open {
    std::unique_ptr<QIODevice> device;
    SF_VIRTUAL_IO io = SndfileIo::callbacks();
    SF_INFO info{};
    SNDFILE* sf = nullptr;
    ~Open()
    {
        if (sf)
            sf_close(sf);
    }
};

WaveReader::WaveReader(const QString& path)
    : WaveReader(openFile(path))
{}

WaveReader::WaveReader(std::unique_ptr<QIODevice> device)
    : m_open(std::make_shared<Open>())
{
    m_open->device = std::move(device);
    if (const std::optional<QString> fault = riffLayoutFault(*m_open->device))
        throw SoundFileError(*fault);
    m_open->device->seek(0);

    // A header that libsndfile cannot finish in time is given up; its thread keeps what it reads
    // from until it ends, if it ever does.
    std::promise<void> parsed;
    std::future<void> done = parsed.get_future();
    std::thread([open = m_open, parsed = std::move(parsed)]() mutable {
        open->sf = sf_open_virtual(&open->io, SFM_READ, &open->info, open->device.get());
        parsed.set_value();
    }).detach();
    if (done.wait_for(std::chrono::milliseconds(kWaveOpenDeadlineMs)) != std::future_status::ready) {
        m_open.reset();
        throw SoundFileError(deadlineReason());
    }
    const SF_INFO& info = m_open->info;
    if (!m_open->sf)
        throw SoundFileError(QStringLiteral("不是可播放的WAV声音文件"));
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX)
        throw SoundFileError(notWave());
    if (info.samplerate < SoundLimits::kMinRate || info.samplerate > SoundLimits::kMaxRate)
        throw SoundFileError(QStringLiteral("不支持的采样频率 %1Hz").arg(info.samplerate));
    if (info.channels < 1 || info.channels > SoundLimits::kMaxChannels)
        throw SoundFileError(QStringLiteral("不支持的声道数 %1").arg(info.channels));
    m_coding = {info.samplerate, info.channels, bitsOf(info.format)};
    m_frames = qMax<qint64>(0, info.frames);
}

WaveReader::~WaveReader() = default;

qint64 WaveReader::read(float* out, qint64 maxFrames)
{
    const sf_count_t got = sf_readf_float(m_open->sf, out, maxFrames);
    return got < 0 ? 0 : got;
}
