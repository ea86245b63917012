// libFuzzer target for the WAV reader: every input is opened as a sound file and read to its end.
// A header that libsndfile cannot finish in time is a find, not a refusal: it aborts, so that the
// fuzzer reports the input the chunk check let through.

#include "sound/WaveReader.h"

#include <QBuffer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buffer->open(QIODevice::ReadOnly);
    try {
        WaveReader reader(std::move(buffer));
        std::vector<float> block(size_t(1024) * reader.channels());
        // A file of n bytes holds fewer than 8n frames of any coding; more would be a reader that
        // makes samples up.
        const qint64 limit = qint64(size) * 8 + 1024;
        qint64 frames = 0;
        for (qint64 got; (got = reader.read(block.data(), 1024)) > 0;) {
            frames += got;
            if (frames > limit) {
                std::fprintf(stderr, "the reader gave %lld frames from %zu bytes\n", frames, size);
                std::abort();
            }
        }
    } catch (const SoundFileError& error) {
        if (error.reason() == WaveReader::deadlineReason()) {
            std::fprintf(stderr, "libsndfile did not finish the header in time\n");
            std::abort();
        }
    }
    return 0;
}
