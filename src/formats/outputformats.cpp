#include "outputformats.h"

namespace OutputFormats {

// Built once: every sheet of a run asks for its format's extension.
QStringList outFmtCaption()
{
    static const QStringList captions { QStringLiteral("SLDDRW"), QStringLiteral("DXF"),
        QStringLiteral("DWG"), QStringLiteral("eDrawing"), QStringLiteral("JPG"),
        QStringLiteral("TIFF"), QStringLiteral("PDF") };
    return captions;
}

QStringList outFmtTag()
{
    static const QStringList tags { QStringLiteral(".SLDDRW"), QStringLiteral(".DXF"),
        QStringLiteral(".DWG"), QStringLiteral(".EDRW"), QStringLiteral(".JPG"),
        QStringLiteral(".TIF"), QStringLiteral(".PDF") };
    return tags;
}

QString caption(int outFmtIndex)
{
    return outFmtCaption().value(outFmtIndex);
}

QString tag(int outFmtIndex)
{
    return outFmtTag().value(outFmtIndex);
}

QString pdfSuffix(int outFmtIndex, bool pdfSingleFile)
{
    if (!isPdf(outFmtIndex))
        return {};
    return pdfSingleFile ? QStringLiteral(".1") : QStringLiteral(".0");
}

QString formatListKey(int outFmtIndex, bool pdfSingleFile)
{
    return QLatin1Char('[') + pdfSuffix(outFmtIndex, pdfSingleFile) + tag(outFmtIndex).toUpper()
        + QLatin1Char(']');
}

QStringList formatListKeys(int outFmtIndex)
{
    if (isPdf(outFmtIndex))
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

QString filenameFormatSettingsKey(const QString &formatListKey)
{
    return QStringLiteral("FilenameFormat") + formatListKey.mid(1, formatListKey.size() - 2);
}

QString destDirKey(int outFmtIndex)
{
    return QLatin1Char('[') + tag(outFmtIndex).toUpper() + QLatin1Char(']');
}

QString destDirSettingsKey(int outFmtIndex)
{
    return QStringLiteral("DestinationDirectory") + tag(outFmtIndex);
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
