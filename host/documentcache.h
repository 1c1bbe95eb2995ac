#pragma once

#include "documentdata.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <memory>

// Stand-in documents as last read from disk, so that repeated saves and renders of a drawing do
// not parse its model files again. An entry is read anew when the file's size or time stamps
// change, and dropped when the host itself writes the file.
class DocumentCache {
public:
    // Throws StandInFileError when the file cannot be read.
    std::shared_ptr<const DocumentData> read(const QString &nativePath);
    void forget(const QString &nativePath);

private:
    struct Entry {
        std::shared_ptr<const DocumentData> data;
        qint64 size = 0;
        QDateTime modified;
        QDateTime changed;
    };
    QHash<QString, Entry> entries;
};
