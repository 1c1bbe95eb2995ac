#include "hostloop.h"

#include "platform/filesystemobject.h"
#include "standinhost.h"

#include <QFileInfo>

int saveEverySheetToDxf(const QString &outputDir, const QStringList &drawings)
{
    const FileSystemObject fso;
    const QString baseDir = fso.fromNative(outputDir);
    const auto host = StandInApplication::create();
    int saved = 0;
    for (const QString &path : drawings) {
        const std::shared_ptr<StandInDocument> drawing = host->open(path);
        CadDocument &document = *drawing;
        const QString baseName = QFileInfo(path).completeBaseName();
        for (const QString &sheet : document.GetSheetNames()) {
            int errors = 0;
            int warnings = 0;
            const QString target = fso.buildpath(
                baseDir, baseName + QLatin1Char('_') + sheet + QStringLiteral(".DXF"));
            if (document.ActivateSheet(sheet)
                && document.SaveToPath(target, 0, 3, errors, warnings))
                ++saved;
        }
        host->closeAllDocuments();
    }
    return saved;
}
