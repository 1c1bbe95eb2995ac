#pragma once

#include <QString>
#include <QStringList>

// The seven output formats, indexed 0 to 6, with their captions and extensions: the one place
// that knows them. Every key built from a format (format list keys, destination keys, settings
// keys) comes from here.
namespace OutputFormats {

// A format by its index in the table; the index is what the settings store keeps.
enum Format : int { Slddrw = 0, Dxf, Dwg, EDrawing, Jpg, Tiff, Pdf };

inline constexpr int count = 7;
inline constexpr int nativeIndex = Slddrw; // a copy of the whole drawing per sheet
inline constexpr int eDrawingIndex = EDrawing;
inline constexpr int pdfIndex = Pdf;

inline bool isNative(int outFmtIndex)
{
    return outFmtIndex == nativeIndex;
}
inline bool isPdf(int outFmtIndex)
{
    return outFmtIndex == pdfIndex;
}
inline bool isEDrawing(int outFmtIndex)
{
    return outFmtIndex == eDrawingIndex;
}

QStringList outFmtCaption();
QStringList outFmtTag();
// One format's caption ("eDrawing") and extension (".EDRW").
QString caption(int outFmtIndex);
QString tag(int outFmtIndex);

// "" for every format but PDF; for PDF "." + the single-file state: ".0" or ".1".
QString pdfSuffix(int outFmtIndex, bool pdfSingleFile);

// "[" + pdfSuffix + extension + "]": indexes the format lists and the current formats.
QString formatListKey(int outFmtIndex, bool pdfSingleFile);
// The one or two format list keys of a format, in table order (PDF: ".0" before ".1").
QStringList formatListKeys(int outFmtIndex);
// The eight format list keys in table order.
QStringList allFormatListKeys();
// The settings key of a format list key's current format: "[.1.PDF]" is FilenameFormat.1.PDF.
QString filenameFormatSettingsKey(const QString &formatListKey);

// "[" + extension + "]": indexes the destination directory table.
QString destDirKey(int outFmtIndex);
// "DestinationDirectory" + extension: where the destination directory is stored.
QString destDirSettingsKey(int outFmtIndex);

// The index of a caption or extension, with or without the dot, in any case; -1 when unknown.
// "TIFF" and "TIF", "eDrawing" and "EDRW" both name their format.
int indexOf(const QString &captionOrExtension);

} // namespace OutputFormats

// Which sheets a run saves; the values are the ones stored as "SaveSheetSelectionType".
enum class SheetChoice { Current = 0, All = 1, Selected = 2 };
