#include "standinfile.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

// The message of the StandInFileError that reading throws, or "" when it reads.
QString parseError(const QByteArray &json, const QString &fileName = QStringLiteral("T.SLDDRW"))
{
    try {
        parseStandInDocument(json, fileName);
    } catch (const StandInFileError &error) {
        return error.message();
    }
    return {};
}

QString readError(const QString &nativePath)
{
    try {
        readStandInFile(nativePath);
    } catch (const StandInFileError &error) {
        return error.message();
    }
    return {};
}

QByteArray bytes(const Json &json)
{
    return QByteArray::fromStdString(json.dump());
}

// A small valid drawing that the cases below break one field at a time.
Json minimalDrawing()
{
    return Json::parse(R"({ "quilletStandIn": 1, "type": "drawing", "properties": {},
        "sheets": [ { "name": "Sheet1", "paper": [420, 297],
                      "views": [ { "name": "Drawing View1", "model": "PLATE.SLDPRT",
                                   "configuration": "Default", "x": 120, "y": 150,
                                   "scale": 0.5 } ],
                      "notes": [ { "text": "NOTE", "x": 1, "y": 2 } ] },
                    { "name": "Sheet2", "paper": [297, 210], "views": [] } ] })");
}

Json minimalPart()
{
    return Json::parse(R"({ "quilletStandIn": 1, "type": "part", "configurations": ["Default"],
        "properties": {}, "geometry": [ { "circle": [0, 0, 5] } ] })");
}

} // namespace

TEST(StandInFile, ReadsADrawingInFileOrder)
{
    const DocumentData drawing = readStandInFile(testDataPath(QStringLiteral("PLATE.SLDDRW")));
    EXPECT_EQ(drawing.type, DocumentData::Type::Drawing);
    ASSERT_EQ(drawing.properties.size(), 1);
    EXPECT_EQ(drawing.properties.at(0).configuration, QString());
    const QList<std::pair<QString, QString>> general
        = { { "Revision", "D" }, { "Title", "Base plate drawing" }, { "DrawnBy", "  J. Smith  " } };
    EXPECT_EQ(drawing.properties.at(0).values, general);

    ASSERT_EQ(drawing.sheets.size(), 3);
    EXPECT_EQ(drawing.sheets.at(0).name, "Sheet1");
    EXPECT_EQ(drawing.sheets.at(1).name, "Sheet2");
    EXPECT_EQ(drawing.sheets.at(2).name, "Sheet3");
    EXPECT_EQ(drawing.sheets.at(0).paper, QSizeF(420, 297));
    EXPECT_EQ(drawing.sheets.at(2).paper, QSizeF(297, 210));
    EXPECT_EQ(drawing.sheets.at(1).propertiesView, "Drawing View4");
    // Sheet3 leaves it out.
    EXPECT_EQ(drawing.sheets.at(2).propertiesView, "Default");

    const ViewData &second = drawing.sheets.at(0).views.at(1);
    EXPECT_EQ(second.name, "Drawing View2");
    EXPECT_EQ(second.model, "PLATE.SLDPRT");
    EXPECT_EQ(second.configuration, "X1");
    EXPECT_EQ(second.x, 330);
    EXPECT_EQ(second.y, 80);
    EXPECT_EQ(second.scale, 0.5);
    EXPECT_TRUE(second.loaded);
    ASSERT_EQ(drawing.sheets.at(0).notes.size(), 2);
    EXPECT_EQ(drawing.sheets.at(0).notes.at(1).text, "4 HOLES DIA 12 THRU");
    EXPECT_EQ(drawing.sheets.at(0).notes.at(1).y, 30);
    EXPECT_EQ(drawing.activeSheet, "Sheet1");
    EXPECT_TRUE(drawing.selection.isEmpty());
}

TEST(StandInFile, ReadsModelsWithConfigurationsAndEveryShape)
{
    const DocumentData plate = readStandInFile(testDataPath(QStringLiteral("PLATE.SLDPRT")));
    EXPECT_EQ(plate.type, DocumentData::Type::Part);
    EXPECT_EQ(plate.configurations, QStringList({ "Default", "X1" }));
    ASSERT_EQ(plate.properties.size(), 3);
    EXPECT_EQ(plate.properties.at(1).configuration, "Default");
    EXPECT_EQ(plate.propertySet(QStringLiteral("X1"))->value(QStringLiteral("Revision")), "B");
    EXPECT_EQ(plate.propertySet(QString())->value(QStringLiteral("Material")), "steel");

    ASSERT_EQ(plate.geometry.size(), 11);
    const auto &outline = std::get<PolylineShape>(plate.geometry.at(0));
    EXPECT_TRUE(outline.closed);
    EXPECT_EQ(outline.points, QList<QPointF>({ { 0, 0 }, { 200, 0 }, { 200, 100 }, { 0, 100 } }));
    const auto &hole = std::get<CircleShape>(plate.geometry.at(2));
    EXPECT_EQ(hole.centre, QPointF(185, 15));
    EXPECT_EQ(hole.radius, 6);
    const auto &line = std::get<LineShape>(plate.geometry.at(5));
    EXPECT_EQ(line.from, QPointF(70, 40));
    EXPECT_EQ(line.to, QPointF(130, 40));
    const auto &arc = std::get<ArcShape>(plate.geometry.at(8));
    EXPECT_EQ(arc.centre, QPointF(130, 50));
    EXPECT_EQ(arc.radius, 10);
    EXPECT_EQ(arc.startAngle, 270);
    EXPECT_EQ(arc.endAngle, 90);

    const DocumentData frame = readStandInFile(testDataPath(QStringLiteral("FRAME.SLDASM")));
    EXPECT_EQ(frame.type, DocumentData::Type::Assembly);
    EXPECT_EQ(frame.configurations, QStringList({ "Default" }));
    EXPECT_EQ(frame.geometry.size(), 12);
}

TEST(StandInFile, TypeFollowsTheExtensionInAnyCase)
{
    using Type = DocumentData::Type;
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("T:/a/PLATE.SLDDRW")), Type::Drawing);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("plate.slddrw")), Type::Drawing);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("plate.SlDpRt")), Type::Part);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("frame.sldasm")), Type::Assembly);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("PLATE.SLDDRW.bak")), std::nullopt);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("SLDDRW")), std::nullopt);
    EXPECT_EQ(documentTypeForFileName(QStringLiteral("PLATE.DXF")), std::nullopt);

    EXPECT_EQ(
        parseStandInDocument(bytes(minimalPart()), QStringLiteral("p.sldprt")).type, Type::Part);
    Json assembly = minimalPart();
    assembly["type"] = "assembly";
    EXPECT_EQ(
        parseStandInDocument(bytes(assembly), QStringLiteral("A.SLDASM")).type, Type::Assembly);
    EXPECT_EQ(parseError(bytes(assembly), QStringLiteral("A.SLDPRT")),
        "A.SLDPRT: type \"assembly\" does not match the extension .SLDPRT (a part)");
    EXPECT_EQ(parseError(bytes(minimalPart()), QStringLiteral("P.JSON")),
        "P.JSON: not a stand-in document: the name must end in .SLDDRW, .SLDPRT or .SLDASM");
}

TEST(StandInFile, OptionalFieldsTakeTheirDefaults)
{
    const DocumentData drawing = parseStandInDocument(bytes(minimalDrawing()), "T.SLDDRW");
    EXPECT_EQ(drawing.activeSheet, "Sheet1");
    EXPECT_TRUE(drawing.selection.isEmpty());
    EXPECT_EQ(drawing.sheets.at(0).propertiesView, "Default");
    EXPECT_TRUE(drawing.sheets.at(0).views.at(0).loaded);
    EXPECT_TRUE(drawing.sheets.at(1).notes.isEmpty());

    const DocumentData part = parseStandInDocument(bytes(minimalPart()), "T.SLDPRT");
    EXPECT_TRUE(part.properties.isEmpty());
    Json open = minimalPart();
    open["geometry"] = Json::parse(R"([ { "polyline": [[0, 0], [5, 5]] } ])");
    EXPECT_FALSE(
        std::get<PolylineShape>(parseStandInDocument(bytes(open), "T.SLDPRT").geometry.at(0))
            .closed);
}

TEST(StandInFile, SelectionEntriesOnTheActiveSheet)
{
    const DocumentData selected
        = readStandInFile(testDataPath(QStringLiteral("SELECTEDVIEW.SLDDRW")));
    ASSERT_EQ(selected.selection.size(), 2);
    EXPECT_EQ(selected.selection.at(0).kind, SelectionEntry::Kind::Note);
    EXPECT_EQ(selected.selection.at(0).noteIndex, 0);
    EXPECT_EQ(selected.selection.at(1).kind, SelectionEntry::Kind::View);
    EXPECT_EQ(selected.selection.at(1).name, "Drawing View2");

    // Entries are checked against the active sheet, not the first one.
    Json drawing = minimalDrawing();
    drawing["activeSheet"] = "Sheet2";
    drawing["selection"] = Json::parse(R"([ { "sheet": "Sheet2" } ])");
    const DocumentData onSecond = parseStandInDocument(bytes(drawing), "T.SLDDRW");
    EXPECT_EQ(onSecond.activeSheet, "Sheet2");
    EXPECT_EQ(onSecond.selection.at(0).kind, SelectionEntry::Kind::Sheet);
    drawing["selection"] = Json::parse(R"([ { "view": "Drawing View1" } ])");
    EXPECT_EQ(parseError(bytes(drawing)),
        "T.SLDDRW: unknown selection entry \"selection[0]\": no view \"Drawing View1\" on "
        "the active sheet \"Sheet2\"");
}

// Each broken file in tests/data is refused with a message that starts with its path.
struct BrokenFile {
    const char *file;
    const char *problem;
};

class StandInFileBroken : public ::testing::TestWithParam<BrokenFile> { };

TEST_P(StandInFileBroken, IsRefusedWithAMessageNamingTheFile)
{
    const QString path = testDataPath(QString::fromLatin1(GetParam().file));
    EXPECT_EQ(readError(path), path + QStringLiteral(": ") + QString::fromUtf8(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Files, StandInFileBroken,
    ::testing::Values(BrokenFile { "broken/NOTJSON.SLDDRW",
                          "not valid JSON at line 1, column 1: syntax error while parsing value - "
                          "invalid literal; last read: 'T'" },
        BrokenFile { "broken/TRUNCATED.SLDDRW",
            "not valid JSON at line 6, column 1: syntax error while parsing object key - "
            "unexpected end of input; expected string literal" },
        BrokenFile { "broken/NOVERSION.SLDDRW", "missing field \"quilletStandIn\"" },
        BrokenFile { "broken/WRONGTYPE.SLDDRW",
            "type \"part\" does not match the extension .SLDDRW (a drawing)" },
        BrokenFile { "broken/MISSINGFIELD.SLDDRW", "missing field \"sheets\"" },
        BrokenFile {
            "broken/MISTYPED.SLDDRW", "field \"sheets[0].views[0].scale\" must be a number" },
        BrokenFile { "broken/UNKNOWNSELECTION.SLDDRW",
            "unknown selection entry \"selection[0]\": no view \"Drawing View2\" on the "
            "active sheet \"Sheet1\"" },
        BrokenFile { "broken/DUPLICATESHEETS.SLDDRW", "duplicate sheet name \"Sheet1\"" },
        BrokenFile { "broken/BADACTIVESHEET.SLDDRW", "activeSheet \"Sheet9\" names no sheet" },
        BrokenFile { "broken/BADGEOMETRY.SLDPRT",
            "field \"geometry[0].circle\" must be [x, y, radius] with a positive "
            "radius" }),
    [](const auto &info) {
        return QFileInfo(QString::fromLatin1(info.param.file)).baseName().toStdString()
            + QFileInfo(QString::fromLatin1(info.param.file)).suffix().toStdString();
    });

// One field broken at a time in an otherwise valid drawing.
struct BrokenField {
    const char *name;
    const char *pointer; // JSON pointer of the field to replace, or remove when value is null
    const char *value;
    const char *problem;
};

class StandInFileField : public ::testing::TestWithParam<BrokenField> { };

TEST_P(StandInFileField, IsNamedInTheMessage)
{
    Json drawing = minimalDrawing();
    const Json::json_pointer pointer(GetParam().pointer);
    if (GetParam().value)
        drawing[pointer] = Json::parse(GetParam().value);
    else
        drawing[pointer.parent_pointer()].erase(pointer.back());
    EXPECT_EQ(parseError(bytes(drawing)),
        QStringLiteral("T.SLDDRW: ") + QString::fromUtf8(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Drawing, StandInFileField,
    ::testing::Values(
        BrokenField { "Version2", "/quilletStandIn", "2", "field \"quilletStandIn\" must be 1" },
        BrokenField { "NoType", "/type", nullptr, "missing field \"type\"" },
        BrokenField { "TypeNumber", "/type", "3", "field \"type\" must be a string" },
        BrokenField { "NoProperties", "/properties", nullptr, "missing field \"properties\"" },
        BrokenField { "PropertyNumber", "/properties", R"({ "": { "Revision": 5 } })",
            "field \"properties[\"\"][\"Revision\"]\" must be a string" },
        BrokenField { "NoSheets", "/sheets", "[]",
            "field \"sheets\" must be an array of at least one sheet" },
        BrokenField { "SheetNameEmpty", "/sheets/1/name", "\"\"",
            "field \"sheets[1].name\" must be a non-empty string" },
        BrokenField { "PaperOneNumber", "/sheets/0/paper", "[420]",
            "field \"sheets[0].paper\" must be an array of width and height" },
        BrokenField { "PaperZero", "/sheets/0/paper", "[0, 297]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        BrokenField { "PaperHuge", "/sheets/0/paper", "[420, 5001]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        BrokenField { "PaperText", "/sheets/0/paper", R"(["A3", 1])",
            "field \"sheets[0].paper[0]\" must be a number" },
        BrokenField { "NoViews", "/sheets/1/views", nullptr, "missing field \"sheets[1].views\"" },
        BrokenField { "PropertiesViewNumber", "/sheets/0/propertiesView", "1",
            "field \"sheets[0].propertiesView\" must be a string" },
        BrokenField { "NoModel", "/sheets/0/views/0/model", nullptr,
            "missing field \"sheets[0].views[0].model\"" },
        BrokenField { "ModelNul", "/sheets/0/views/0/model", R"("A\u0000.SLDPRT")",
            "field \"sheets[0].views[0].model\" must be a file path without NUL "
            "characters" },
        BrokenField { "ScaleZero", "/sheets/0/views/0/scale", "0",
            "field \"sheets[0].views[0].scale\" must be a positive number" },
        BrokenField { "LoadedText", "/sheets/0/views/0/loaded", "\"yes\"",
            "field \"sheets[0].views[0].loaded\" must be true or false" },
        BrokenField { "DuplicateView", "/sheets/0/views/1",
            R"({ "name": "Drawing View1", "model": "A.SLDPRT", "configuration": "",
                           "x": 0, "y": 0, "scale": 1 })",
            "duplicate view name \"Drawing View1\" on sheet \"Sheet1\"" },
        BrokenField { "SelectionTwoKinds", "/selection",
            R"([ { "view": "Drawing View1", "note": 0 } ])",
            "field \"selection[0]\" must be one of {\"view\": name}, {\"sheet\": name} "
            "or {\"note\": index}" },
        BrokenField { "SelectionOtherSheet", "/selection", R"([ { "sheet": "Sheet2" } ])",
            "unknown selection entry \"selection[0]\": \"Sheet2\" is not the active "
            "sheet \"Sheet1\"" },
        BrokenField { "SelectionNotePastTheEnd", "/selection", R"([ { "note": 1 } ])",
            "unknown selection entry \"selection[0]\": no note 1 on the active sheet "
            "\"Sheet1\"" },
        BrokenField { "SelectionNoteNegative", "/selection", R"([ { "note": -1 } ])",
            "unknown selection entry \"selection[0]\": no note -1 on the active sheet "
            "\"Sheet1\"" },
        BrokenField { "SelectionNoteFraction", "/selection", R"([ { "note": 0.5 } ])",
            "field \"selection[0].note\" must be a whole number" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StandInFile, ModelFieldsAreCheckedToo)
{
    const auto partError = [](const char *pointer, const char *value) {
        Json part = minimalPart();
        part[Json::json_pointer(pointer)] = Json::parse(value);
        return parseError(bytes(part), QStringLiteral("T.SLDPRT"));
    };
    EXPECT_EQ(partError("/configurations", "[]"),
        "T.SLDPRT: field \"configurations\" must be an array of at least one configuration "
        "name");
    EXPECT_EQ(partError("/configurations", R"(["Default", "Default"])"),
        "T.SLDPRT: duplicate configuration \"Default\"");
    EXPECT_EQ(partError("/geometry/0", R"({ "polyline": [[0, 0]] })"),
        "T.SLDPRT: field \"geometry[0].polyline\" must be an array of at least two points");
    EXPECT_EQ(partError("/geometry/0", R"({ "polyline": [[0, 0], [1]] })"),
        "T.SLDPRT: field \"geometry[0].polyline[1]\" must be [x, y]");
    EXPECT_EQ(partError("/geometry/0", R"({ "line": [0, 0, 1] })"),
        "T.SLDPRT: field \"geometry[0].line\" must be [x1, y1, x2, y2]");
    EXPECT_EQ(partError("/geometry/0", R"({ "arc": [0, 0, 0, 0, 90] })"),
        "T.SLDPRT: field \"geometry[0].arc\" must be [x, y, radius, start, end] with a "
        "positive radius");
    EXPECT_EQ(partError("/geometry/0", R"({ "spline": [0, 0] })"),
        "T.SLDPRT: field \"geometry[0]\" must be one of polyline, circle, line or arc");
    EXPECT_EQ(partError("/geometry/0", R"({ "circle": [0, 0, 1], "line": [0, 0, 1, 1] })"),
        "T.SLDPRT: field \"geometry[0]\" must be one of polyline, circle, line or arc");
}

TEST(StandInFile, MalformedJsonIsRefusedWithItsPosition)
{
    EXPECT_EQ(parseError(QByteArray()),
        "T.SLDDRW: not valid JSON at line 1, column 1: syntax error while parsing value - "
        "unexpected end of input; expected '[', '{', or a literal");
    EXPECT_EQ(
        parseError("[1, 2]"), "T.SLDDRW: not a stand-in document: the JSON text must be an object");
    EXPECT_EQ(parseError("{ \"a\": 1e999 }"),
        "T.SLDDRW: not valid JSON: number overflow parsing '1e999'");
    EXPECT_TRUE(parseError("{ \"a\": \"\xC3\x28\" }")
                    .startsWith("T.SLDDRW: not valid JSON at line 1, column 10: syntax error while "
                                "parsing value - invalid string: ill-formed UTF-8 byte"));

    // Deep nesting is refused before it can exhaust the stack.
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_EQ(parseError(deep), "T.SLDDRW: not valid JSON: nested deeper than 64 levels");
    const QByteArray fine = "{ \"x\": " + QByteArray(60, '[') + QByteArray(60, ']') + " }";
    EXPECT_TRUE(parseError(fine).contains("missing field \"quilletStandIn\""));
}

TEST(StandInFile, EveryPrefixOfAGoodFileIsRefusedOrRead)
{
    const QByteArray whole = readNative(testDataPath(QStringLiteral("SELECTEDVIEW.SLDDRW")));
    ASSERT_FALSE(whole.isEmpty());
    const qsizetype complete = whole.trimmed().size();
    for (qsizetype size = 0; size < complete; ++size) {
        const QString message = parseError(whole.left(size));
        ASSERT_TRUE(message.startsWith(QStringLiteral("T.SLDDRW: "))) << size;
    }
    EXPECT_EQ(parseError(whole), QString());
}

TEST(StandInFile, UnreadableFilesNameThePath)
{
    const QString missing = testDataPath(QStringLiteral("NOSUCH.SLDDRW"));
    EXPECT_EQ(readError(missing), missing + ": file not found");
    const QString folder = testDataPath(QStringLiteral("broken"));
    EXPECT_EQ(readError(folder), folder + ": is a directory");
}

TEST(StandInFile, WrittenDocumentsReadBackTheSame)
{
    const QStringList files = QDir(testDataPath(QString()))
                                  .entryList({ "*.SLDDRW", "*.SLDPRT", "*.SLDASM" }, QDir::Files);
    ASSERT_GE(files.size(), 10);
    for (const QString &file : files) {
        const DocumentData first = readStandInFile(testDataPath(file));
        const QByteArray written = writeStandInDocument(first);
        const DocumentData second = parseStandInDocument(written, file);
        EXPECT_EQ(writeStandInDocument(second), written) << file.toStdString();
        EXPECT_EQ(second.sheets.size(), first.sheets.size());
        EXPECT_EQ(second.geometry.size(), first.geometry.size());
        EXPECT_EQ(second.activeSheet, first.activeSheet);
        EXPECT_EQ(second.selection.size(), first.selection.size());
    }

    // Whole millimetres stay integers, fractions keep their digits, blanks and order stay.
    DocumentData drawing = readStandInFile(testDataPath(QStringLiteral("LIGHTWEIGHT.SLDDRW")));
    drawing.propertySetFor(QString()).set(QStringLiteral("Zeta"), QStringLiteral(" ä  "));
    drawing.propertySetFor(QString()).set(QStringLiteral("Alpha"), QStringLiteral("1"));
    drawing.sheets[0].views[0].x = 12.125;
    const QByteArray text = writeStandInDocument(drawing);
    EXPECT_TRUE(text.contains("\"y\": 150,")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"x\": 12.125,"));
    EXPECT_TRUE(text.contains("\"loaded\": false"));
    const DocumentData back = parseStandInDocument(text, QStringLiteral("X.SLDDRW"));
    EXPECT_EQ(back.propertySet(QString())->values,
        (QList<std::pair<QString, QString>>({ { "Zeta", " ä  " }, { "Alpha", "1" } })));
    EXPECT_FALSE(back.sheets.at(0).views.at(0).loaded);
    EXPECT_EQ(back.sheets.at(0).views.at(0).x, 12.125);
}
