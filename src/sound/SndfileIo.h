#pragma once

#include <QIODevice>

#include <sndfile.h>

// libsndfile reads and writes through a QIODevice (a QFile, or a buffer), so paths are handled the
// way Qt handles them on every platform (wide names on Windows) and no second opening of the file
// can see other bytes. The user data of every call is the QIODevice.
namespace SndfileIo {

inline QIODevice* of(void* user)
{
    return static_cast<QIODevice*>(user);
}

inline SF_VIRTUAL_IO callbacks()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) -> sf_count_t { return of(user)->size(); };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        QIODevice* device = of(user);
        qint64 target = offset;
        if (whence == SEEK_CUR)
            target += device->pos();
        else if (whence == SEEK_END)
            target += device->size();
        if (target < 0 || !device->seek(target))
            return -1;
        return device->pos();
    };
    io.read = [](void* data, sf_count_t count, void* user) -> sf_count_t {
        const qint64 got = of(user)->read(static_cast<char*>(data), count);
        return got < 0 ? 0 : got;
    };
    io.write = [](const void* data, sf_count_t count, void* user) -> sf_count_t {
        const qint64 put = of(user)->write(static_cast<const char*>(data), count);
        return put < 0 ? 0 : put;
    };
    io.tell = [](void* user) -> sf_count_t { return of(user)->pos(); };
    return io;
}

} // namespace SndfileIo
