#include "batchreport.h"

#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

Json text(const QString &value)
{
    return value.toStdString();
}

// A native path as the platform writes it: with "\" on Windows.
Json pathText(const QString &nativePath)
{
    return text(QDir::toNativeSeparators(nativePath));
}

Json pathOrNull(const std::optional<QString> &nativePath)
{
    return nativePath ? pathText(*nativePath) : Json();
}

Json pathOrNull(const QString &nativePath)
{
    return nativePath.isEmpty() ? Json() : pathText(nativePath);
}

Json textOrNull(const std::optional<QString> &value)
{
    return value ? text(*value) : Json();
}

// Converted only here, as most batches report nothing.
QString nativeTarget(const QString &target)
{
    try {
        return FileSystemObject().toNative(target);
    } catch (const QuilletError &) {
        // Text no file system takes (a NUL) was never saved; it is shown as the run had it.
        return target;
    }
}

QString statusName(SheetSave::Status status)
{
    switch (status) {
    case SheetSave::Status::Saved:
        return QStringLiteral("saved");
    case SheetSave::Status::Failed:
        return QStringLiteral("failed");
    case SheetSave::Status::NameTaken:
        return QStringLiteral("name taken");
    case SheetSave::Status::DryRun:
        break;
    }
    return QStringLiteral("dry run");
}

Json drawingJson(const DrawingRecord &drawing)
{
    Json sheets = Json::array();
    for (const SheetSave &sheet : drawing.sheets) {
        sheets.push_back(
            { { "name", text(sheet.sheetName) }, { "file", pathText(nativeTarget(sheet.target)) },
                { "status", text(statusName(sheet.status)) }, { "errors", sheet.errors },
                { "warnings", sheet.warnings } });
    }
    const Json error = drawing.errorText.isEmpty()
        ? Json()
        : Json { { "number", drawing.errorNumber }, { "text", text(drawing.errorText) } };
    // A run never started has no status: it neither saved nor failed.
    const Json status
        = drawing.run == DrawingRecord::Run::NotStarted ? Json() : Json(drawing.status);
    return { { "path", pathText(drawing.path) }, { "format", textOrNull(drawing.format) },
        { "outputDirectory", pathOrNull(drawing.outputDirectory) }, { "sheets", sheets },
        { "result", { { "status", status }, { "error", error } } } };
}

} // namespace

QByteArray BatchReport::toJson() const
{
    Json formatNames = Json::array();
    for (const QString &format : formats)
        formatNames.push_back(text(format));
    Json runs = Json::array();
    for (const DrawingRecord &drawing : drawings)
        runs.push_back(drawingJson(drawing));
    const Json report { { "options",
                            { { "formats", formatNames },
                                { "filenameFormat", textOrNull(filenameFormat) },
                                { "sheets", text(sheets) }, { "output", pathOrNull(output) },
                                { "destDirs", destDirs }, { "singleFile", singleFile },
                                { "quiet", quiet }, { "dryRun", dryRun } } },
        { "drawings", runs }, { "status", status } };
    return QByteArray::fromStdString(report.dump(2)) + '\n';
}

bool canWriteReport(const QString &path, QString *errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *errorString = file.errorString();
        return false;
    }
    file.cancelWriting();
    return true;
}

bool writeReport(const QString &path, const QByteArray &content, QString *errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.commit()) {
        *errorString = file.errorString();
        return false;
    }
    return true;
}

QStringList dryRunListing(const QList<DrawingRecord> &drawings)
{
    QStringList lines { QStringLiteral("Dry run: nothing was saved. A run would write:") };
    QSet<QString> listed;
    for (const DrawingRecord &drawing : drawings) {
        for (const SheetSave &sheet : drawing.sheets) {
            if (sheet.status != SheetSave::Status::DryRun)
                continue;
            // The directories a run would make, outermost first, before the file.
            const QString file = nativeTarget(sheet.target);
            QStringList paths { QDir::toNativeSeparators(file) };
            QFileInfo dir(QFileInfo(file).absolutePath());
            while (!dir.exists()) {
                paths.prepend(QDir::toNativeSeparators(dir.absoluteFilePath() + QLatin1Char('/')));
                dir.setFile(dir.absolutePath());
            }
            for (const QString &path : std::as_const(paths)) {
                if (!listed.contains(path)) {
                    listed.insert(path);
                    lines.append(path);
                }
            }
        }
    }
    return lines;
}
