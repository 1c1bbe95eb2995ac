#include "outputformats.h"

namespace OutputFormats {

QStringList outFmtCaption()
{
    return { QStringLiteral("SLDDRW"), QStringLiteral("DXF"), QStringLiteral("DWG"),
        QStringLiteral("eDrawing"), QStringLiteral("JPG"), QStringLiteral("TIFF"),
        QStringLiteral("PDF") };
}

QStringList outFmtTag()
{
    return { QStringLiteral(".SLDDRW"), QStringLiteral(".DXF"), QStringLiteral(".DWG"),
        QStringLiteral(".EDRW"), QStringLiteral(".JPG"), QStringLiteral(".TIF"),
        QStringLiteral(".PDF") };
}

QString pdfSuffix(int outFmtIndex, bool pdfSingleFile)
{
    if (outFmtIndex != pdfIndex)
        return {};
    return pdfSingleFile ? QStringLiteral(".1") : QStringLiteral(".0");
}

QString formatListKey(int outFmtIndex, bool pdfSingleFile)
{
    return QLatin1Char('[') + pdfSuffix(outFmtIndex, pdfSingleFile)
        + outFmtTag().value(outFmtIndex).toUpper() + QLatin1Char(']');
}

QStringList formatListKeys(int outFmtIndex)
{
    if (outFmtIndex == pdfIndex)
        return { formatListKey(outFmtIndex, false), formatListKey(outFmtIndex, true) };
    return { formatListKey(outFmtIndex, false) };
}

QStringList allFormatListKeys()
{
    QStringList keys;
    for (int i = 0; i < count; ++i)
        keys += formatListKeys(i);
    return keys;
}

QString destDirKey(int outFmtIndex)
{
    return QLatin1Char('[') + outFmtTag().value(outFmtIndex).toUpper() + QLatin1Char(']');
}

int indexOf(const QString &captionOrExtension)
{
    QString name = captionOrExtension.trimmed();
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    const QStringList captions = outFmtCaption();
    const QStringList tags = outFmtTag();
    for (int i = 0; i < count; ++i) {
        if (name.compare(captions.at(i), Qt::CaseInsensitive) == 0
            || name.compare(tags.at(i).mid(1), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace OutputFormats
