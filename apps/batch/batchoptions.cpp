#include "batchoptions.h"

#include "formats/outputformats.h"

QList<int> parseFormatList(const QString &text, QString *errorString)
{
    QList<int> indexes;
    for (const QString &name : text.split(QLatin1Char(','))) {
        const int index = OutputFormats::indexOf(name);
        if (index < 0) {
            *errorString = QStringLiteral("unknown format \"%1\"").arg(name);
            return {};
        }
        // "TIF,TIFF" would run the same format twice, replacing its own files.
        if (indexes.contains(index)) {
            *errorString = QStringLiteral("format \"%1\" given twice").arg(name);
            return {};
        }
        indexes.append(index);
    }
    return indexes;
}
