#include "batchplan.h"

#include "formats/outputformats.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

Json text(const QString &value)
{
    return value.toStdString();
}

QString qText(const Json &value)
{
    return QString::fromStdString(value.get<std::string>());
}

template <typename T> Json orNull(const std::optional<T> &value)
{
    if (!value)
        return Json();
    if constexpr (std::is_same_v<T, QString>)
        return text(*value);
    else
        return *value;
}

Json optionsJson(const BatchOptions &options)
{
    Json formats = Json::array();
    for (const int format : options.outFmtIndexes)
        formats.push_back(text(OutputFormats::caption(format)));
    Json drives = Json::array();
    for (const auto &[letter, root] : options.drives)
        drives.push_back(
            { { "drive", text(QString(letter) + QLatin1Char(':')) }, { "root", text(root) } });
    return { { "formats", formats }, { "filenameFormat", orNull(options.filenameFormat) },
        { "sheets", orNull(options.sheets) }, { "output", orNull(options.output) },
        { "destDirs", orNull(options.useDestDirs) }, { "singleFile", options.singleFile },
        { "quiet", options.quiet }, { "drives", drives } };
}

Json runJson(const PlannedRun &run)
{
    Json sheets = Json::array();
    for (const PlannedSheet &sheet : run.sheets) {
        sheets.push_back({ { "name", text(sheet.name) }, { "target", text(sheet.target) },
            { "status", sheet.nameTaken ? "name taken" : "planned" } });
    }
    const Json error = run.errorText.isEmpty()
        ? Json()
        : Json { { "number", run.errorNumber }, { "text", text(run.errorText) } };
    return { { "format", text(run.format) }, { "run", orNull(run.number) },
        { "outputDirectory", run.outputDirectory.isEmpty() ? Json() : text(run.outputDirectory) },
        { "sheets", sheets }, { "status", run.status }, { "error", error } };
}

Json textList(const QStringList &list)
{
    Json array = Json::array();
    for (const QString &item : list)
        array.push_back(text(item));
    return array;
}

// What is wrong with a plan: where, and what was expected there.
struct BadPlan {
    QString message;
};

// Reads one value of the plan, checking its type; a failure names the key's path.
class Field {
public:
    Field(const Json &value, QString where)
        : value(&value)
        , where(std::move(where))
    {
    }

    Field operator[](const char *key) const
    {
        const Json &object = checked(value->is_object(), "an object");
        const auto found = object.find(key);
        if (found == object.end())
            throw BadPlan { where + QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)) };
        return { *found, where + QStringLiteral("\"%1\"").arg(QLatin1String(key)) };
    }
    QList<Field> items() const
    {
        QList<Field> list;
        const Json &array = checked(value->is_array(), "an array");
        for (size_t i = 0; i < array.size(); ++i)
            list.append({ array[i], where + QStringLiteral("[%1]").arg(i) });
        return list;
    }
    bool isNull() const { return value->is_null(); }
    QString string() const { return qText(checked(value->is_string(), "a text")); }
    int integer() const { return checked(value->is_number_integer(), "a whole number").get<int>(); }
    bool boolean() const { return checked(value->is_boolean(), "true or false").get<bool>(); }
    QStringList strings() const
    {
        QStringList list;
        for (const Field &item : items())
            list.append(item.string());
        return list;
    }
    std::optional<QString> optionalString() const
    {
        return isNull() ? std::nullopt : std::optional(string());
    }
    // Pairs with a failure message of the plan's own terms.
    [[noreturn]] void bad(const QString &what) const { throw BadPlan { where + what }; }

private:
    const Json &checked(bool ok, const char *expected) const
    {
        if (!ok)
            bad(QStringLiteral(": expected ") + QLatin1String(expected));
        return *value;
    }

    const Json *value;
    QString where;
};

BatchOptions readOptions(const Field &field)
{
    BatchOptions options;
    for (const Field &format : field["formats"].items()) {
        const int index = OutputFormats::indexOf(format.string());
        if (index < 0)
            format.bad(QStringLiteral(": unknown format"));
        options.outFmtIndexes.append(index);
    }
    if (options.outFmtIndexes.isEmpty())
        field["formats"].bad(QStringLiteral(": no format"));
    options.filenameFormat = field["filenameFormat"].optionalString();
    options.sheets = field["sheets"].optionalString();
    options.output = field["output"].optionalString();
    if (!field["destDirs"].isNull())
        options.useDestDirs = field["destDirs"].boolean();
    options.singleFile = field["singleFile"].boolean();
    options.quiet = field["quiet"].boolean();
    for (const Field &drive : field["drives"].items()) {
        const QString letter = drive["drive"].string();
        static const QRegularExpression driveName(QStringLiteral("^[A-Za-z]:$"));
        if (!driveName.match(letter).hasMatch())
            drive["drive"].bad(QStringLiteral(": expected a drive such as \"C:\""));
        options.drives.append({ letter.at(0).toUpper(), drive["root"].string() });
    }
    return options;
}

PlannedRun readRun(const Field &field)
{
    PlannedRun run;
    run.format = field["format"].string();
    if (OutputFormats::indexOf(run.format) < 0)
        field["format"].bad(QStringLiteral(": unknown format"));
    if (!field["run"].isNull())
        run.number = field["run"].integer();
    if (!field["outputDirectory"].isNull())
        run.outputDirectory = field["outputDirectory"].string();
    for (const Field &sheet : field["sheets"].items()) {
        const QString status = sheet["status"].string();
        if (status != QLatin1String("planned") && status != QLatin1String("name taken"))
            sheet["status"].bad(QStringLiteral(": expected \"planned\" or \"name taken\""));
        run.sheets.append({ sheet["name"].string(), sheet["target"].string(),
            status == QLatin1String("name taken") });
    }
    run.status = field["status"].integer();
    if (const Field error = field["error"]; !error.isNull()) {
        run.errorNumber = error["number"].integer();
        run.errorText = error["text"].string();
    }
    return run;
}

PlannedDrawing readDrawing(const Field &field)
{
    PlannedDrawing drawing;
    drawing.given = field["given"].string();
    drawing.path = field["path"].string();
    if (const Field stamp = field["stamp"]; !stamp.isNull()) {
        drawing.stamp = DrawingStamp { stamp["size"].integer(), stamp["sha256"].string() };
    }
    for (const Field &run : field["runs"].items())
        drawing.runs.append(readRun(run));
    return drawing;
}

} // namespace

std::optional<DrawingStamp> DrawingStamp::of(const QString &nativePath)
{
    QFile file(nativePath);
    if (!QFileInfo(nativePath).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // A drawing that cannot be read to its end has no stamp to plan against.
    if (!hash.addData(&file))
        return std::nullopt;
    return DrawingStamp { file.size(), QString::fromLatin1(hash.result().toHex()) };
}

QByteArray BatchPlan::toJson() const
{
    Json drawingList = Json::array();
    for (const PlannedDrawing &drawing : drawings) {
        Json runs = Json::array();
        for (const PlannedRun &run : drawing.runs)
            runs.push_back(runJson(run));
        const Json stamp = drawing.stamp
            ? Json { { "size", drawing.stamp->size }, { "sha256", text(drawing.stamp->sha256) } }
            : Json();
        drawingList.push_back({ { "given", text(drawing.given) }, { "path", text(drawing.path) },
            { "stamp", stamp }, { "runs", runs } });
    }
    const Json plan { { "quilletBatchPlan", version }, { "directory", text(directory) },
        { "options", optionsJson(options) }, { "emptyFolders", textList(emptyFolders) },
        { "unreadableFolders", textList(unreadableFolders) }, { "drawings", drawingList } };
    return QByteArray::fromStdString(plan.dump(2)) + '\n';
}

std::optional<BatchPlan> BatchPlan::fromJson(const QByteArray &json, QString *errorString)
{
    const Json document = Json::parse(json.toStdString(), nullptr, false);
    if (document.is_discarded() || !document.is_object()
        || !document.contains("quilletBatchPlan")) {
        *errorString = QStringLiteral("not a plan of quillet-batch");
        return std::nullopt;
    }
    try {
        const Field root(document, QString());
        if (const int found = root["quilletBatchPlan"].integer(); found != version) {
            *errorString
                = QStringLiteral("a plan of version %1; this quillet-batch reads version %2")
                      .arg(found)
                      .arg(version);
            return std::nullopt;
        }
        BatchPlan plan;
        plan.directory = root["directory"].string();
        plan.options = readOptions(root["options"]);
        plan.emptyFolders = root["emptyFolders"].strings();
        plan.unreadableFolders = root["unreadableFolders"].strings();
        for (const Field &drawing : root["drawings"].items()) {
            plan.drawings.append(readDrawing(drawing));
            if (plan.drawings.constLast().runs.size() != plan.options.outFmtIndexes.size())
                drawing["runs"].bad(QStringLiteral(": not one run per format"));
        }
        return plan;
    } catch (const BadPlan &bad) {
        *errorString = bad.message;
        return std::nullopt;
    }
}

std::optional<Shard> Shard::parse(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,6})/([0-9]{1,6})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const Shard shard { match.captured(1).toInt(), match.captured(2).toInt() };
    if (shard.index < 1 || shard.index > shard.count)
        return std::nullopt;
    return shard;
}

QByteArray shardReportJson(const BatchReport &report, const QList<int> &planIndexes,
    const QByteArray &planDigest, const Shard &shard)
{
    Json json = Json::parse(report.toJson().toStdString());
    Json &runs = json["drawings"];
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i]["planIndex"] = planIndexes.at(qsizetype(i));
    json["shard"] = { { "plan", planDigest.toStdString() }, { "index", shard.index },
        { "count", shard.count } };
    return QByteArray::fromStdString(json.dump(2)) + '\n';
}

std::optional<QByteArray> mergeShardReports(
    const QList<QByteArray> &reports, const QStringList &names, QString *errorString)
{
    struct Entry {
        int planIndex;
        Json run;
    };
    std::optional<Json> merged;
    std::string plan;
    QList<QString> byIndex;
    QList<Entry> entries;
    int status = 0;
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const QString &name = names.at(i);
        Json report = Json::parse(reports.at(i).toStdString(), nullptr, false);
        const auto shardOf = [&](const char *key) -> const Json & {
            static const Json none;
            return report.is_object() && report.contains("shard") && report["shard"].is_object()
                    && report["shard"].contains(key)
                ? report["shard"][key]
                : none;
        };
        if (!report.is_object() || !shardOf("plan").is_string()
            || !shardOf("index").is_number_integer() || !shardOf("count").is_number_integer()
            || !report["drawings"].is_array() || !report["status"].is_number_integer()) {
            *errorString = name + QStringLiteral(" is not the report of a shard");
            return std::nullopt;
        }
        const int index = shardOf("index").get<int>();
        const int count = shardOf("count").get<int>();
        if (!merged) {
            plan = shardOf("plan").get<std::string>();
            byIndex = QList<QString>(count);
        } else if (shardOf("plan").get<std::string>() != plan || count != byIndex.size()) {
            *errorString = name
                + QStringLiteral(" is the report of another plan or shard count than ")
                + names.first();
            return std::nullopt;
        }
        if (index < 1 || index > count) {
            *errorString = name + QStringLiteral(" is not the report of a shard");
            return std::nullopt;
        }
        if (!byIndex.at(index - 1).isEmpty()) {
            *errorString = QStringLiteral("%1 and %2 are both shard %3/%4")
                               .arg(byIndex.at(index - 1), name)
                               .arg(index)
                               .arg(count);
            return std::nullopt;
        }
        byIndex[index - 1] = name;
        for (Json &run : report["drawings"]) {
            const int planIndex = run.value("planIndex", -1);
            run.erase("planIndex");
            entries.append({ planIndex, std::move(run) });
        }
        status = std::max(status, report["status"].get<int>());
        report.erase("shard");
        if (!merged)
            merged = std::move(report);
    }
    const auto missing = std::find(byIndex.cbegin(), byIndex.cend(), QString());
    if (missing != byIndex.cend()) {
        *errorString = QStringLiteral("the report of shard %1/%2 is missing")
                           .arg(missing - byIndex.cbegin() + 1)
                           .arg(byIndex.size());
        return std::nullopt;
    }
    // Each shard keeps plan order, and the call's own entries (planIndex -1) come first.
    std::stable_sort(entries.begin(), entries.end(),
        [](const Entry &a, const Entry &b) { return a.planIndex < b.planIndex; });
    Json runs = Json::array();
    for (Entry &entry : entries)
        runs.push_back(std::move(entry.run));
    (*merged)["drawings"] = std::move(runs);
    (*merged)["status"] = status;
    return QByteArray::fromStdString(merged->dump(2)) + '\n';
}

int reportStatus(const QByteArray &report)
{
    return Json::parse(report.toStdString(), nullptr, false).value("status", 0);
}
