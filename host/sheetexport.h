#pragma once

#include "documentdata.h"

#include <QIODevice>
#include <QString>
#include <functional>

// What the stand-in host hands the exporters when it saves a drawing in a format other than its
// own: the drawing, which sheet, and how to reach the model of a view.
struct ExportRequest {
    const DocumentData *drawing = nullptr;
    // The drawing's title (file name with extension, or DrawN), for the title block.
    QString title;
    int sheetIndex = 0;
    // A multi-page PDF: every sheet, one page each, instead of the one at sheetIndex.
    bool allSheets = false;
    // The model a view shows, or nullptr when it cannot be read.
    std::function<const DocumentData *(const ViewData &)> modelOf;
    // Upper case with the dot: ".DXF", ".PDF", ".JPG" or ".TIF".
    QString extension;
    // A DXF drawing: the folder its relative image files are found in, and who hears, for each
    // sheet drawn, the entity types left out of it with their counts.
    QString folder;
    std::function<void(int sheetIndex, const QList<std::pair<QString, int>> &skipped)> drawn;
};

// True for the extensions writeExport can write.
bool isExportExtension(const QString &upperExtension);

// True for the exports that paint the sheet (PDF and the images): they need a QGuiApplication,
// the others a QCoreApplication only.
bool exportPaints(const QString &upperExtension);

// Writes the export into device. On failure returns false with a short reason in error.
bool writeExport(const ExportRequest &request, QIODevice &device, QString *error);
