#pragma once

#include <QString>
#include <QStringList>

// The drawings that the arguments stand for: a folder stands for every drawing below it, any
// other argument for itself.
struct DrawingArguments {
    QStringList drawings;
    // Folders given that hold no drawing, as given.
    QStringList emptyFolders;
    // Folders below those given that could not be read; their drawings are left out.
    QStringList unreadableFolders;
};

// Folders are searched at every depth for files whose names end in ".SLDDRW" or, unless
// withDxf is false, ".dxf", in any case, and give their drawings sorted by path, level by level;
// symbolic links below a folder are passed over, so the search never leaves it and finds no
// drawing twice.
DrawingArguments expandDrawingArguments(const QStringList &arguments, bool withDxf = true);
