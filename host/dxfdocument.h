#pragma once

// DXF drawings as the stand-in host's documents: a drawing whose sheets are the file's layouts,
// and whose properties come from the active sheet's title block, the drawing's custom
// properties and its summary.

#include "documentdata.h"

#include <QByteArray>
#include <QList>
#include <QString>

// True for a name ending in .dxf, in any case.
bool isDxfFileName(const QString &fileName);

// Reads the bytes of a DXF file as a drawing. Throws StandInFileError with the reader's message,
// which names the file and the line.
DocumentData readDxfDocument(const QByteArray &bytes, const QString &fileName);

// A property a filename format can name on a DXF sheet, and where it comes from.
struct DxfProperty {
    enum class Source { Block, HiddenBlock, Drawing };
    QString name;
    QString value;
    Source source = Source::Drawing;
    // The block whose attribute it is.
    QString block;
};

// Every property of the sheet at sheetIndex in the order they are looked up: the attributes of
// the block references the sheet shows, then those on layers that are off, frozen or not
// plotted, then the drawing's custom and summary properties.
QList<DxfProperty> dxfProperties(const DocumentData &document, int sheetIndex);

// The value a DXF drawing gives for a property name, compared without regard to case: the first
// of dxfProperties of that name; a null string when none has it.
QString dxfPropertyValue(const DocumentData &document, int sheetIndex, const QString &name);
