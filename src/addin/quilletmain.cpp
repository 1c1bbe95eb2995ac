#include "quilletmain.h"

#include "platform/moduleinfo.h"

namespace Quilletmain {

QString formatVersion(int major, int minor)
{
    return QString::number(major) + QLatin1Char('.')
        + QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0'));
}

void fillFromVersionResource()
{
    const ModuleVersion version = moduleVersion();
    productName = version.productName;
    versionString = formatVersion(version.major, version.minor);
    legalCopyright = version.legalCopyright;
    fileDescription = version.fileDescription;

    const QString controlChars = QStringLiteral("\r\t\n\b");
    unwantedPathChars = QStringLiteral(":\\/") + controlChars;
    unwantedFileChars = QStringLiteral("\\/:*?\"<>|") + controlChars;
}

QString productAndVersion()
{
    return productName + QLatin1Char(' ') + versionString;
}

} // namespace Quilletmain
