#pragma once

#include "documentdata.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <memory>

// Stand-in documents as last read from disk, so that repeated saves and renders of a drawing do
// not read and parse its model files again. A file is taken as unchanged while its size, times
// and identity on disk are those it had when it was read, unless it changed too shortly before
// that read for its times to tell a later rewrite apart: such a file is read again at the next
// lookup, and parsed only when its bytes differ. An entry is dropped when the host itself writes
// the file. A .dxf file is read as a DXF drawing, any other as a stand-in document.
class DocumentCache {
public:
    // clock gives the time in nanoseconds since the epoch; by default the system's, which file
    // times come from.
    explicit DocumentCache(std::function<qint64()> clock = {});

    // Throws StandInFileError when the file cannot be read.
    std::shared_ptr<const DocumentData> read(const QString &nativePath);
    void forget(const QString &nativePath);

    // What the file system tells of a file without reading it. Times are nanoseconds since the
    // epoch; the change time stays 0 on Windows, whose file information has none.
    struct FileStamp {
        qint64 size = 0;
        qint64 modified = 0;
        qint64 changed = 0;
        quint64 device = 0;
        quint64 fileId = 0;

        friend bool operator==(const FileStamp &, const FileStamp &) = default;
    };

private:
    struct Entry {
        std::shared_ptr<const DocumentData> data;
        // SHA-256 of the bytes the data was parsed from.
        QByteArray digest;
        FileStamp stamp;
        // False while the file's times were too close to its read to be relied on.
        bool settled = false;
    };
    std::function<qint64()> now;
    QHash<QString, Entry> entries;
};
