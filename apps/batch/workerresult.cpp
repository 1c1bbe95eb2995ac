#include "workerresult.h"

#include <QDataStream>
#include <QIODevice>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

Json text(const QString &value)
{
    return value.toStdString();
}

QString qtext(const Json &value)
{
    return QString::fromStdString(value.get<std::string>());
}

} // namespace

// Binary: a worker answers for every drawing, and text would cost both sides more than the
// answer is worth.
QByteArray WorkerResult::encode() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(lines.size());
    for (const auto &[error, line] : lines)
        out << error << line;
    out << quint32(runs.size());
    for (const DrawingRecord &record : runs) {
        out << record.path << record.format << record.outputDirectory
            << quint32(record.sheets.size());
        for (const SheetSave &sheet : record.sheets) {
            out << sheet.sheetName << sheet.target << qint32(sheet.status) << qint32(sheet.errors)
                << qint32(sheet.warnings);
        }
        out << qint32(record.status) << qint32(record.errorNumber) << record.errorText;
    }
    out << started << quint32(staged.size());
    for (const StagedSaves::File &file : staged)
        out << file.target << file.staged;
    out << stopped;
    return bytes;
}

std::optional<WorkerResult> WorkerResult::decode(const QByteArray &bytes)
{
    QDataStream in(bytes);
    WorkerResult result;
    quint32 count = 0;
    // A count beyond what is left is no result; nothing is reserved for it.
    const auto counted = [&] {
        in >> count;
        return in.status() == QDataStream::Ok && count <= quint32(bytes.size());
    };
    if (!counted())
        return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        auto &[error, line] = result.lines.emplace_back();
        in >> error >> line;
    }
    if (!counted())
        return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        DrawingRecord &record = result.runs.emplace_back();
        quint32 sheets = 0;
        in >> record.path >> record.format >> record.outputDirectory >> sheets;
        if (in.status() != QDataStream::Ok || sheets > quint32(bytes.size()))
            return std::nullopt;
        for (quint32 j = 0; j < sheets; ++j) {
            SheetSave &sheet = record.sheets.emplace_back();
            qint32 status = 0;
            qint32 errors = 0;
            qint32 warnings = 0;
            in >> sheet.sheetName >> sheet.target >> status >> errors >> warnings;
            sheet.status = SheetSave::Status(status);
            sheet.errors = errors;
            sheet.warnings = warnings;
        }
        qint32 status = 0;
        qint32 errorNumber = 0;
        in >> status >> errorNumber >> record.errorText;
        record.status = status;
        record.errorNumber = errorNumber;
    }
    in >> result.started;
    if (!counted())
        return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        StagedSaves::File &file = result.staged.emplace_back();
        in >> file.target >> file.staged;
    }
    in >> result.stopped;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return result;
}

QByteArray EarlierSaves::toJson() const
{
    Json takers = Json::array();
    for (auto taker = saved.byTarget.cbegin(); taker != saved.byTarget.cend(); ++taker) {
        takers.push_back(
            { text(taker.key()), taker->run, text(taker->drawingPath), text(taker->sheetName) });
    }
    const std::string json = Json { saved.runs, takers }.dump();
    return QByteArray(json.data(), qsizetype(json.size()));
}

std::optional<EarlierSaves> EarlierSaves::fromJson(const QByteArray &json)
{
    try {
        const Json root = Json::parse(json.cbegin(), json.cend());
        EarlierSaves earlier;
        earlier.saved.runs = root.at(0).get<int>();
        for (const Json &taker : root.at(1)) {
            earlier.saved.byTarget.insert(qtext(taker.at(0)),
                { taker.at(1).get<int>(), qtext(taker.at(2)), qtext(taker.at(3)) });
        }
        return earlier;
    } catch (const Json::exception &) {
        return std::nullopt;
    }
}
