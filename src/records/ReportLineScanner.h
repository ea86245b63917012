#pragma once

#include <QByteArray>
#include <QByteArrayMatcher>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Finds the lines of a log file that contain a byte string, without loading the file whole: it
// reads in chunks and keeps only the unfinished last line between them. A line is a run of bytes
// between CR or LF characters, so CR LF, LF and CR files all read the same. A line too long to
// keep (a file that is not a log at all) is searched on the fly and read back only if it matches.
class ReportLineScanner {
public:
    using LineSink = std::function<void(QByteArrayView line)>;

    static constexpr qsizetype kChunkSize = 1 << 20;
    static constexpr qsizetype kLongLine = 8 << 20;

    // A key that is empty or holds CR or LF matches no line.
    explicit ReportLineScanner(QByteArray key, qsizetype chunkSize = kChunkSize, qsizetype longLine = kLongLine);

    // Hands each matching line of the file to the sink, in file order. Raises AppError with the
    // system's reason when the file cannot be opened or read; lines handed out stay handed out.
    void scanFile(const QString& path, const LineSink& sink) const;

private:
    QByteArray m_key;
    QByteArrayMatcher m_matcher;
    qsizetype m_chunkSize;
    qsizetype m_longLine;
};
