#pragma once

#include "dxf/dxfdrawing.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace dxf {

// A file that cannot be read as a DXF drawing. The message names the file and, where the fault
// lies in the file, its line (ASCII) or byte offset (binary).
class ReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString message() const { return QString::fromUtf8(what()); }
};

// Reads ASCII (R12 to R2018) and binary DXF. fileName names the file in messages. What the
// drawing code cannot use (unknown group codes, objects it has no need of) is passed over;
// broken structure (a truncated file, a missing ENDSEC, an odd group, a number that is none,
// counts beyond what the file can hold) is a ReadError. Memory stays within a small multiple of
// the file's size.
Drawing readDrawing(const QByteArray &bytes, const QString &fileName);
// The same for a file on disk; a missing or unreadable file is a ReadError too.
Drawing readDrawingFile(const QString &nativePath);

} // namespace dxf
