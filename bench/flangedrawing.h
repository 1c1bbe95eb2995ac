#pragma once

#include <QString>

// Writes a stand-in drawing of sheetCount sheets into the native directory dir, together with
// the part its views show, FLANGE.SLDPRT. Every sheet shows the part in one view, every second
// sheet in two, with a title block's worth of notes, so that an export has real geometry to
// write. Returns the drawing's native path, dir/<baseName>.SLDDRW; empty when it could not be
// written.
QString writeFlangeDrawing(const QString &dir, const QString &baseName, int sheetCount);
