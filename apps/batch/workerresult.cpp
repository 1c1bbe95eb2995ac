#include "workerresult.h"

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

QByteArray WorkerResult::toJson() const
{
    Json out = Json::array();
    for (const auto &[error, line] : lines)
        out.push_back({ error, text(line) });
    Json records = Json::array();
    for (const DrawingRecord &record : runs) {
        Json sheets = Json::array();
        for (const SheetSave &sheet : record.sheets) {
            sheets.push_back({ text(sheet.sheetName), text(sheet.target), int(sheet.status),
                sheet.errors, sheet.warnings });
        }
        records.push_back({ text(record.path), text(record.format), text(record.outputDirectory),
            sheets, record.status, record.errorNumber, text(record.errorText) });
    }
    const std::string json = Json { out, records, stopped }.dump();
    return QByteArray(json.data(), qsizetype(json.size()));
}

std::optional<WorkerResult> WorkerResult::fromJson(const QByteArray &json)
{
    try {
        const Json root = Json::parse(json.cbegin(), json.cend());
        WorkerResult result;
        for (const Json &line : root.at(0))
            result.lines.append({ line.at(0).get<bool>(), qtext(line.at(1)) });
        for (const Json &record : root.at(1)) {
            DrawingRecord &run = result.runs.emplace_back();
            run.path = qtext(record.at(0));
            run.format = qtext(record.at(1));
            run.outputDirectory = qtext(record.at(2));
            for (const Json &sheet : record.at(3)) {
                run.sheets.append({ qtext(sheet.at(0)), qtext(sheet.at(1)),
                    SheetSave::Status(sheet.at(2).get<int>()), sheet.at(3).get<int>(),
                    sheet.at(4).get<int>() });
            }
            run.status = record.at(4).get<int>();
            run.errorNumber = record.at(5).get<int>();
            run.errorText = qtext(record.at(6));
        }
        result.stopped = root.at(2).get<bool>();
        return result;
    } catch (const Json::exception &) {
        // A worker that answers nonsense has failed; its call says so.
        return std::nullopt;
    }
}
