#include "standinfile.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

// Deeper nesting than any document needs; refused early so that no input can exhaust the stack.
constexpr int maxDepth = 64;
// Larger than any plotter roll, small enough that a rendered sheet stays a sane image.
constexpr double maxPaperMm = 5000;

struct TooDeep { };

QString member(const QString &path, const char *key)
{
    return path.isEmpty() ? QLatin1String(key) : path + QLatin1Char('.') + QLatin1String(key);
}

QString element(const QString &path, qsizetype index)
{
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString keyed(const QString &path, const QString &key)
{
    return path + QStringLiteral("[\"") + key + QStringLiteral("\"]");
}

QString fromJsonText(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string toJsonText(const QString &text)
{
    return text.toStdString();
}

class Reader {
public:
    explicit Reader(const QString &fileName)
        : fileName(fileName)
    {
    }

    [[noreturn]] void fail(const QString &problem) const
    {
        throw StandInFileError((fileName + QStringLiteral(": ") + problem).toStdString());
    }

    [[noreturn]] void mistyped(const QString &path, const char *what) const
    {
        fail(QStringLiteral("field \"%1\" must be %2").arg(path, QLatin1String(what)));
    }

    const Json *optional(const Json &object, const char *key) const
    {
        const auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }

    const Json &required(const Json &object, const char *key, const QString &path) const
    {
        const Json *value = optional(object, key);
        if (!value)
            fail(QStringLiteral("missing field \"%1\"").arg(path));
        return *value;
    }

    // The required member key of the object at path.
    const Json &field(const Json &object, const char *key, const QString &path) const
    {
        return required(object, key, member(path, key));
    }

    const Json &object(const Json &value, const QString &path) const
    {
        if (!value.is_object())
            mistyped(path, "an object");
        return value;
    }

    const Json &array(const Json &value, const QString &path) const
    {
        if (!value.is_array())
            mistyped(path, "an array");
        return value;
    }

    QString string(const Json &value, const QString &path) const
    {
        if (!value.is_string())
            mistyped(path, "a string");
        return fromJsonText(value.get_ref<const std::string &>());
    }

    QString name(const Json &value, const QString &path) const
    {
        const QString text = string(value, path);
        if (text.isEmpty())
            mistyped(path, "a non-empty string");
        return text;
    }

    bool boolean(const Json &value, const QString &path) const
    {
        if (!value.is_boolean())
            mistyped(path, "true or false");
        return value.get<bool>();
    }

    double number(const Json &value, const QString &path) const
    {
        if (!value.is_number())
            mistyped(path, "a number");
        const double result = value.get<double>();
        if (!std::isfinite(result))
            mistyped(path, "a finite number");
        return result;
    }

    double positive(const Json &value, const QString &path) const
    {
        const double result = number(value, path);
        if (result <= 0)
            mistyped(path, "a positive number");
        return result;
    }

    // An array of exactly count numbers.
    QList<double> numbers(
        const Json &value, qsizetype count, const QString &path, const char *what) const
    {
        if (!value.is_array() || qsizetype(value.size()) != count)
            mistyped(path, what);
        QList<double> result;
        for (qsizetype i = 0; i < count; ++i)
            result.append(number(value.at(size_t(i)), element(path, i)));
        return result;
    }

    QString fileName;
};

Json parseJson(const Reader &reader, const QByteArray &bytes)
{
    try {
        return Json::parse(
            bytes.constBegin(), bytes.constEnd(), [](int depth, Json::parse_event_t, Json &) {
                if (depth > maxDepth)
                    throw TooDeep {};
                return true;
            });
    } catch (const Json::parse_error &error) {
        // The library's text reads "[json.exception.parse_error.101] parse error at line 1, ...".
        const QString text = QString::fromUtf8(error.what());
        const qsizetype at = text.indexOf(QLatin1String(" at line "));
        if (at >= 0)
            reader.fail(QStringLiteral("not valid JSON") + text.mid(at));
        reader.fail(QStringLiteral("not valid JSON at byte %1: %2").arg(error.byte).arg(text));
    } catch (const Json::exception &error) {
        // Numbers too large for a double end up here, without a position.
        const QString text = QString::fromUtf8(error.what());
        reader.fail(
            QStringLiteral("not valid JSON: ") + text.mid(text.indexOf(QLatin1String("] ")) + 2));
    } catch (const TooDeep &) {
        reader.fail(QStringLiteral("not valid JSON: nested deeper than %1 levels").arg(maxDepth));
    }
}

QList<PropertySet> readProperties(const Reader &reader, const Json &root)
{
    const QString path = QStringLiteral("properties");
    const Json &sets = reader.object(reader.required(root, "properties", path), path);
    QList<PropertySet> result;
    for (const auto &[configuration, values] : sets.items()) {
        const QString setPath = keyed(path, fromJsonText(configuration));
        reader.object(values, setPath);
        PropertySet set { fromJsonText(configuration), {} };
        for (const auto &[name, value] : values.items()) {
            const QString valuePath = keyed(setPath, fromJsonText(name));
            set.values.append({ fromJsonText(name), reader.string(value, valuePath) });
        }
        result.append(set);
    }
    return result;
}

ViewData readView(const Reader &reader, const Json &json, const QString &path)
{
    reader.object(json, path);
    ViewData view;
    view.name = reader.name(reader.field(json, "name", path), member(path, "name"));
    const QString modelPath = member(path, "model");
    view.model = reader.name(reader.required(json, "model", modelPath), modelPath);
    if (view.model.contains(QChar(0)))
        reader.mistyped(modelPath, "a file path without NUL characters");
    const QString configurationPath = member(path, "configuration");
    view.configuration = reader.string(
        reader.required(json, "configuration", configurationPath), configurationPath);
    view.x = reader.number(reader.field(json, "x", path), member(path, "x"));
    view.y = reader.number(reader.field(json, "y", path), member(path, "y"));
    view.scale = reader.positive(reader.field(json, "scale", path), member(path, "scale"));
    if (const Json *loaded = reader.optional(json, "loaded"))
        view.loaded = reader.boolean(*loaded, member(path, "loaded"));
    return view;
}

NoteData readNote(const Reader &reader, const Json &json, const QString &path)
{
    reader.object(json, path);
    NoteData note;
    note.text = reader.string(reader.field(json, "text", path), member(path, "text"));
    note.x = reader.number(reader.field(json, "x", path), member(path, "x"));
    note.y = reader.number(reader.field(json, "y", path), member(path, "y"));
    return note;
}

SheetData readSheet(const Reader &reader, const Json &json, const QString &path)
{
    reader.object(json, path);
    SheetData sheet;
    sheet.name = reader.name(reader.field(json, "name", path), member(path, "name"));
    const QString paperPath = member(path, "paper");
    const QList<double> paper = reader.numbers(
        reader.required(json, "paper", paperPath), 2, paperPath, "an array of width and height");
    for (double side : paper) {
        if (side <= 0 || side > maxPaperMm)
            reader.mistyped(paperPath, "two sizes above 0 and up to 5000 mm");
    }
    sheet.paper = QSizeF(paper.at(0), paper.at(1));
    if (const Json *view = reader.optional(json, "propertiesView"))
        sheet.propertiesView = reader.string(*view, member(path, "propertiesView"));

    const QString viewsPath = member(path, "views");
    const Json &views = reader.array(reader.required(json, "views", viewsPath), viewsPath);
    for (size_t i = 0; i < views.size(); ++i) {
        const ViewData view = readView(reader, views.at(i), element(viewsPath, qsizetype(i)));
        for (const ViewData &other : std::as_const(sheet.views)) {
            if (other.name == view.name)
                reader.fail(QStringLiteral("duplicate view name \"%1\" on sheet \"%2\"")
                                .arg(view.name, sheet.name));
        }
        sheet.views.append(view);
    }
    if (const Json *notes = reader.optional(json, "notes")) {
        const QString notesPath = member(path, "notes");
        reader.array(*notes, notesPath);
        for (size_t i = 0; i < notes->size(); ++i)
            sheet.notes.append(readNote(reader, notes->at(i), element(notesPath, qsizetype(i))));
    }
    return sheet;
}

SelectionEntry readSelectionEntry(
    const Reader &reader, const Json &json, const QString &path, const SheetData &activeSheet)
{
    reader.object(json, path);
    const Json *view = reader.optional(json, "view");
    const Json *sheet = reader.optional(json, "sheet");
    const Json *note = reader.optional(json, "note");
    if (int(view != nullptr) + int(sheet != nullptr) + int(note != nullptr) != 1)
        reader.mistyped(path, "one of {\"view\": name}, {\"sheet\": name} or {\"note\": index}");

    SelectionEntry entry;
    if (view) {
        entry.kind = SelectionEntry::Kind::View;
        entry.name = reader.string(*view, member(path, "view"));
        const bool known = std::any_of(activeSheet.views.cbegin(), activeSheet.views.cend(),
            [&](const ViewData &v) { return v.name == entry.name; });
        if (!known)
            reader.fail(QStringLiteral("unknown selection entry \"%1\": no view \"%2\" on the "
                                       "active sheet \"%3\"")
                            .arg(path, entry.name, activeSheet.name));
    } else if (sheet) {
        entry.kind = SelectionEntry::Kind::Sheet;
        entry.name = reader.string(*sheet, member(path, "sheet"));
        if (entry.name != activeSheet.name)
            reader.fail(QStringLiteral("unknown selection entry \"%1\": \"%2\" is not the active "
                                       "sheet \"%3\"")
                            .arg(path, entry.name, activeSheet.name));
    } else {
        entry.kind = SelectionEntry::Kind::Note;
        if (!note->is_number_integer())
            reader.mistyped(member(path, "note"), "a whole number");
        const auto index = note->get<long long>();
        if (index < 0 || index >= activeSheet.notes.size())
            reader.fail(QStringLiteral("unknown selection entry \"%1\": no note %2 on the active "
                                       "sheet \"%3\"")
                            .arg(path)
                            .arg(index)
                            .arg(activeSheet.name));
        entry.noteIndex = int(index);
    }
    return entry;
}

void readDrawing(const Reader &reader, const Json &root, DocumentData &document)
{
    const QString sheetsPath = QStringLiteral("sheets");
    const Json &sheets = reader.array(reader.required(root, "sheets", sheetsPath), sheetsPath);
    if (sheets.empty())
        reader.mistyped(sheetsPath, "an array of at least one sheet");
    for (size_t i = 0; i < sheets.size(); ++i) {
        const SheetData sheet = readSheet(reader, sheets.at(i), element(sheetsPath, qsizetype(i)));
        if (document.sheetIndex(sheet.name) >= 0)
            reader.fail(QStringLiteral("duplicate sheet name \"%1\"").arg(sheet.name));
        document.sheets.append(sheet);
    }

    document.activeSheet = document.sheets.constFirst().name;
    if (const Json *active = reader.optional(root, "activeSheet")) {
        document.activeSheet = reader.string(*active, QStringLiteral("activeSheet"));
        if (document.sheetIndex(document.activeSheet) < 0)
            reader.fail(
                QStringLiteral("activeSheet \"%1\" names no sheet").arg(document.activeSheet));
    }

    if (const Json *selection = reader.optional(root, "selection")) {
        const QString path = QStringLiteral("selection");
        reader.array(*selection, path);
        const SheetData &activeSheet
            = document.sheets.at(document.sheetIndex(document.activeSheet));
        for (size_t i = 0; i < selection->size(); ++i)
            document.selection.append(readSelectionEntry(
                reader, selection->at(i), element(path, qsizetype(i)), activeSheet));
    }
}

Shape readShape(const Reader &reader, const Json &json, const QString &path)
{
    reader.object(json, path);
    const Json *polyline = reader.optional(json, "polyline");
    const Json *circle = reader.optional(json, "circle");
    const Json *line = reader.optional(json, "line");
    const Json *arc = reader.optional(json, "arc");
    if (int(polyline != nullptr) + int(circle != nullptr) + int(line != nullptr)
            + int(arc != nullptr)
        != 1)
        reader.mistyped(path, "one of polyline, circle, line or arc");

    if (polyline) {
        const QString pointsPath = member(path, "polyline");
        if (!polyline->is_array() || polyline->size() < 2)
            reader.mistyped(pointsPath, "an array of at least two points");
        PolylineShape shape;
        for (size_t i = 0; i < polyline->size(); ++i) {
            const QList<double> point
                = reader.numbers(polyline->at(i), 2, element(pointsPath, qsizetype(i)), "[x, y]");
            shape.points.append(QPointF(point.at(0), point.at(1)));
        }
        if (const Json *closed = reader.optional(json, "closed"))
            shape.closed = reader.boolean(*closed, member(path, "closed"));
        return shape;
    }
    if (circle) {
        const QString circlePath = member(path, "circle");
        const QList<double> v = reader.numbers(*circle, 3, circlePath, "[x, y, radius]");
        if (v.at(2) <= 0)
            reader.mistyped(circlePath, "[x, y, radius] with a positive radius");
        return CircleShape { QPointF(v.at(0), v.at(1)), v.at(2) };
    }
    if (line) {
        const QList<double> v = reader.numbers(*line, 4, member(path, "line"), "[x1, y1, x2, y2]");
        return LineShape { QPointF(v.at(0), v.at(1)), QPointF(v.at(2), v.at(3)) };
    }
    const QString arcPath = member(path, "arc");
    const QList<double> v = reader.numbers(*arc, 5, arcPath, "[x, y, radius, start, end]");
    if (v.at(2) <= 0)
        reader.mistyped(arcPath, "[x, y, radius, start, end] with a positive radius");
    return ArcShape { QPointF(v.at(0), v.at(1)), v.at(2), v.at(3), v.at(4) };
}

void readModel(const Reader &reader, const Json &root, DocumentData &document)
{
    const QString configurationsPath = QStringLiteral("configurations");
    const Json &configurations = reader.array(
        reader.required(root, "configurations", configurationsPath), configurationsPath);
    if (configurations.empty())
        reader.mistyped(configurationsPath, "an array of at least one configuration name");
    for (size_t i = 0; i < configurations.size(); ++i) {
        const QString name
            = reader.name(configurations.at(i), element(configurationsPath, qsizetype(i)));
        if (document.configurations.contains(name))
            reader.fail(QStringLiteral("duplicate configuration \"%1\"").arg(name));
        document.configurations.append(name);
    }

    const QString geometryPath = QStringLiteral("geometry");
    const Json &geometry
        = reader.array(reader.required(root, "geometry", geometryPath), geometryPath);
    for (size_t i = 0; i < geometry.size(); ++i)
        document.geometry.append(
            readShape(reader, geometry.at(i), element(geometryPath, qsizetype(i))));
}

Json numberJson(double value)
{
    // Whole millimetres read better as integers; the parser takes both.
    if (std::trunc(value) == value && std::abs(value) < 1e15)
        return Json(static_cast<long long>(value));
    return Json(value);
}

Json pointJson(QPointF point)
{
    return Json::array({ numberJson(point.x()), numberJson(point.y()) });
}

Json shapeJson(const Shape &shape)
{
    Json json = Json::object();
    if (const auto *polyline = std::get_if<PolylineShape>(&shape)) {
        Json points = Json::array();
        for (QPointF point : polyline->points)
            points.push_back(pointJson(point));
        json["polyline"] = points;
        json["closed"] = polyline->closed;
    } else if (const auto *circle = std::get_if<CircleShape>(&shape)) {
        json["circle"] = Json::array({ numberJson(circle->centre.x()),
            numberJson(circle->centre.y()), numberJson(circle->radius) });
    } else if (const auto *line = std::get_if<LineShape>(&shape)) {
        json["line"] = Json::array({ numberJson(line->from.x()), numberJson(line->from.y()),
            numberJson(line->to.x()), numberJson(line->to.y()) });
    } else if (const auto *arc = std::get_if<ArcShape>(&shape)) {
        json["arc"] = Json::array({ numberJson(arc->centre.x()), numberJson(arc->centre.y()),
            numberJson(arc->radius), numberJson(arc->startAngle), numberJson(arc->endAngle) });
    }
    return json;
}

Json sheetJson(const SheetData &sheet)
{
    Json json = Json::object();
    json["name"] = toJsonText(sheet.name);
    json["paper"]
        = Json::array({ numberJson(sheet.paper.width()), numberJson(sheet.paper.height()) });
    json["propertiesView"] = toJsonText(sheet.propertiesView);
    Json views = Json::array();
    for (const ViewData &view : sheet.views) {
        Json v = Json::object();
        v["name"] = toJsonText(view.name);
        v["model"] = toJsonText(view.model);
        v["configuration"] = toJsonText(view.configuration);
        v["x"] = numberJson(view.x);
        v["y"] = numberJson(view.y);
        v["scale"] = numberJson(view.scale);
        v["loaded"] = view.loaded;
        views.push_back(v);
    }
    json["views"] = views;
    Json notes = Json::array();
    for (const NoteData &note : sheet.notes) {
        Json n = Json::object();
        n["text"] = toJsonText(note.text);
        n["x"] = numberJson(note.x);
        n["y"] = numberJson(note.y);
        notes.push_back(n);
    }
    json["notes"] = notes;
    return json;
}

Json selectionJson(const SelectionEntry &entry)
{
    Json json = Json::object();
    switch (entry.kind) {
    case SelectionEntry::Kind::View:
        json["view"] = toJsonText(entry.name);
        break;
    case SelectionEntry::Kind::Sheet:
        json["sheet"] = toJsonText(entry.name);
        break;
    case SelectionEntry::Kind::Note:
        json["note"] = entry.noteIndex;
        break;
    }
    return json;
}

} // namespace

std::optional<DocumentData::Type> documentTypeForFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("SLDDRW"), Qt::CaseInsensitive) == 0)
        return DocumentData::Type::Drawing;
    if (suffix.compare(QLatin1String("SLDPRT"), Qt::CaseInsensitive) == 0)
        return DocumentData::Type::Part;
    if (suffix.compare(QLatin1String("SLDASM"), Qt::CaseInsensitive) == 0)
        return DocumentData::Type::Assembly;
    return std::nullopt;
}

QString documentTypeName(DocumentData::Type type)
{
    switch (type) {
    case DocumentData::Type::Drawing:
        return QStringLiteral("drawing");
    case DocumentData::Type::Part:
        return QStringLiteral("part");
    case DocumentData::Type::Assembly:
        return QStringLiteral("assembly");
    }
    return {};
}

DocumentData parseStandInDocument(const QByteArray &json, const QString &fileName)
{
    const Reader reader(fileName);
    const std::optional<DocumentData::Type> type = documentTypeForFileName(fileName);
    if (!type)
        reader.fail(QStringLiteral("not a stand-in document: the name must end in .SLDDRW, "
                                   ".SLDPRT or .SLDASM"));

    const Json root = parseJson(reader, json);
    if (!root.is_object())
        reader.fail(QStringLiteral("not a stand-in document: the JSON text must be an object"));

    const Json &version = reader.required(root, "quilletStandIn", QStringLiteral("quilletStandIn"));
    if (!version.is_number() || version.get<double>() != 1)
        reader.mistyped(QStringLiteral("quilletStandIn"), "1");

    const QString typeText = reader.string(
        reader.required(root, "type", QStringLiteral("type")), QStringLiteral("type"));
    if (typeText != documentTypeName(*type)) {
        const QString suffix = QFileInfo(fileName).suffix();
        reader.fail(QStringLiteral("type \"%1\" does not match the extension .%2 (a %3)")
                        .arg(typeText, suffix, documentTypeName(*type)));
    }

    DocumentData document;
    document.type = *type;
    document.properties = readProperties(reader, root);
    if (document.type == DocumentData::Type::Drawing)
        readDrawing(reader, root, document);
    else
        readModel(reader, root, document);
    return document;
}

QByteArray readStandInBytes(const QString &nativePath)
{
    const Reader reader(nativePath);
    const QFileInfo info(nativePath);
    if (!info.exists())
        reader.fail(QStringLiteral("file not found"));
    if (info.isDir())
        reader.fail(QStringLiteral("is a directory"));
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly))
        reader.fail(QStringLiteral("cannot be read: ") + file.errorString());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        reader.fail(QStringLiteral("cannot be read: ") + file.errorString());
    return content;
}

DocumentData readStandInFile(const QString &nativePath)
{
    return parseStandInDocument(readStandInBytes(nativePath), nativePath);
}

QByteArray writeStandInDocument(const DocumentData &document)
{
    Json root = Json::object();
    root["quilletStandIn"] = 1;
    root["type"] = toJsonText(documentTypeName(document.type));
    Json properties = Json::object();
    for (const PropertySet &set : document.properties) {
        Json values = Json::object();
        for (const auto &[name, value] : set.values)
            values[toJsonText(name)] = toJsonText(value);
        properties[toJsonText(set.configuration)] = values;
    }
    root["properties"] = properties;

    if (document.type == DocumentData::Type::Drawing) {
        root["activeSheet"] = toJsonText(document.activeSheet);
        Json selection = Json::array();
        for (const SelectionEntry &entry : document.selection)
            selection.push_back(selectionJson(entry));
        root["selection"] = selection;
        Json sheets = Json::array();
        for (const SheetData &sheet : document.sheets)
            sheets.push_back(sheetJson(sheet));
        root["sheets"] = sheets;
    } else {
        Json configurations = Json::array();
        for (const QString &name : document.configurations)
            configurations.push_back(toJsonText(name));
        root["configurations"] = configurations;
        Json geometry = Json::array();
        for (const Shape &shape : document.geometry)
            geometry.push_back(shapeJson(shape));
        root["geometry"] = geometry;
    }
    const std::string text = root.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
    return QByteArray(text.data(), qsizetype(text.size()));
}
