#pragma once

// Reading and writing the stand-in host's documents: JSON files whose type follows the extension
// (.SLDDRW drawing, .SLDPRT part, .SLDASM assembly, any case).

#include "documentdata.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <stdexcept>

// A document that cannot be read. The message names the file and what is wrong with it: the JSON
// position, or the missing or mistyped field.
class StandInFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString message() const { return QString::fromUtf8(what()); }
};

// The document type an extension stands for; nothing for any other name.
std::optional<DocumentData::Type> documentTypeForFileName(const QString &fileName);
// "drawing", "part" or "assembly".
QString documentTypeName(DocumentData::Type type);

// Parses a whole document. fileName names the document in messages and its extension decides
// the type the document must declare. Selection entries must name things on the active sheet;
// a note entry is the note's 0-based position among the active sheet's notes.
DocumentData parseStandInDocument(const QByteArray &json, const QString &fileName);
// The same for a file on disk; a missing or unreadable file is a StandInFileError too.
DocumentData readStandInFile(const QString &nativePath);
// The bytes of a file on disk, unparsed; a missing or unreadable file is a StandInFileError.
QByteArray readStandInBytes(const QString &nativePath);
// UTF-8 JSON that parseStandInDocument reads back as the same data. Model paths are written as
// they stand in the data.
QByteArray writeStandInDocument(const DocumentData &document);
