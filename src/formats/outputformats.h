#pragma once

#include <QString>
#include <QStringList>

// The seven output formats, indexed 0 to 6, with their captions and extensions.
namespace OutputFormats {

inline constexpr int count = 7;
inline constexpr int nativeIndex = 0; // SLDDRW
inline constexpr int eDrawingIndex = 3;
inline constexpr int pdfIndex = 6;

QStringList outFmtCaption();
QStringList outFmtTag();

// "" for every format but PDF; for PDF "." + the single-file state: ".0" or ".1".
QString pdfSuffix(int outFmtIndex, bool pdfSingleFile);

// "[" + pdfSuffix + extension + "]": indexes the format lists and the current formats.
QString formatListKey(int outFmtIndex, bool pdfSingleFile);
// The one or two format list keys of a format, in table order (PDF: ".0" before ".1").
QStringList formatListKeys(int outFmtIndex);
// The eight format list keys in table order.
QStringList allFormatListKeys();

// "[" + extension + "]": indexes the destination directory table.
QString destDirKey(int outFmtIndex);

// The index of a caption or extension, with or without the dot, in any case; -1 when unknown.
// "TIFF" and "TIF", "eDrawing" and "EDRW" both name their format.
int indexOf(const QString &captionOrExtension);

} // namespace OutputFormats
