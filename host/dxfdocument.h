#pragma once

// DXF drawings as the stand-in host's documents: a drawing whose sheets are the file's layouts,
// and whose properties come from the active sheet's title block, the drawing's custom
// properties and its summary.

#include "documentdata.h"

#include <QByteArray>
#include <QString>

// True for a name ending in .dxf, in any case.
bool isDxfFileName(const QString &fileName);

// Reads the bytes of a DXF file as a drawing. Throws StandInFileError with the reader's message,
// which names the file and the line.
DocumentData readDxfDocument(const QByteArray &bytes, const QString &fileName);

// The value a DXF drawing gives for a property name, compared without regard to case: an
// attribute of a block reference placed on the sheet at sheetIndex, else a custom property of
// the drawing, else a summary property; a null string when none has it.
QString dxfPropertyValue(const DocumentData &document, int sheetIndex, const QString &name);
