#pragma once

#include "documentdata.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>

// Stand-in documents as last read from disk, so that repeated saves and renders of a drawing do
// not parse its model files again. Every read reads the file, which is small, and parses it only
// when its bytes differ from the entry's: time stamps miss a rewrite within one tick of the file
// clock, or one whose time was set back. An entry is dropped when the host itself writes the file.
class DocumentCache {
public:
    // Throws StandInFileError when the file cannot be read.
    std::shared_ptr<const DocumentData> read(const QString &nativePath);
    void forget(const QString &nativePath);

private:
    struct Entry {
        std::shared_ptr<const DocumentData> data;
        QByteArray content;
    };
    QHash<QString, Entry> entries;
};
