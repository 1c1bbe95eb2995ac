#pragma once

#include <QString>
#include <QStringList>

// The host's own share of a folder batch to DXF: each drawing opened in one host, every sheet
// activated and saved under the name the batch gives it ("DRWNAME|_|SHEETNAME"), nothing else.
// outputDir is native and must lie on a mapped drive. Returns the number of sheets saved.
int saveEverySheetToDxf(const QString &outputDir, const QStringList &drawings);
