#include "standinfile.h"
#include "testsupport.h"

#include <QDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

namespace {

// The message of the StandInFileError that reading throws, or "" when it reads.
template <typename Read> QString errorOf(Read read)
{
    try {
        read();
    } catch (const StandInFileError &error) {
        return error.message();
    }
    return {};
}

QString parseError(const QByteArray &json, const QString &fileName = "T.SLDDRW")
{
    return errorOf([&] { parseStandInDocument(json, fileName); });
}

QByteArray bytes(const Json &json)
{
    return QByteArray::fromStdString(json.dump());
}

// A small valid drawing and part that the cases below break one field at a time.
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
    const DocumentData drawing = readStandInFile(testDataPath("PLATE.SLDDRW"));
    ASSERT_EQ(drawing.properties.size(), 1);
    const QList<std::pair<QString, QString>> general
        = { { "Revision", "D" }, { "Title", "Base plate drawing" }, { "DrawnBy", "  J. Smith  " } };
    EXPECT_EQ(drawing.propertySet(QString())->values, general);

    ASSERT_EQ(drawing.sheets.size(), 3);
    EXPECT_EQ(drawing.sheets.at(2).name, "Sheet3");
    EXPECT_EQ(drawing.sheets.at(2).paper, QSizeF(297, 210));
    EXPECT_EQ(drawing.sheets.at(1).propertiesView, "Drawing View4");
    // Sheet3 leaves it out.
    EXPECT_EQ(drawing.sheets.at(2).propertiesView, "Default");

    const ViewData &second = drawing.sheets.at(0).views.at(1);
    EXPECT_EQ(second.name, "Drawing View2");
    EXPECT_EQ(second.configuration, "X1");
    EXPECT_EQ(QPointF(second.x, second.y), QPointF(330, 80));
    EXPECT_EQ(second.scale, 0.5);
    EXPECT_TRUE(second.loaded);
    ASSERT_EQ(drawing.sheets.at(0).notes.size(), 2);
    EXPECT_EQ(drawing.sheets.at(0).notes.at(1).text, "4 HOLES DIA 12 THRU");
}

TEST(StandInFile, ReadsAPartWithConfigurationsAndEveryShape)
{
    const DocumentData plate = readStandInFile(testDataPath("PLATE.SLDPRT"));
    EXPECT_EQ(plate.configurations, QStringList({ "Default", "X1" }));
    EXPECT_EQ(plate.propertySet("X1")->value("Revision"), "B");
    EXPECT_EQ(plate.propertySet(QString())->value("Material"), "steel");

    ASSERT_EQ(plate.geometry.size(), 11);
    const auto &outline = std::get<PolylineShape>(plate.geometry.at(0));
    EXPECT_TRUE(outline.closed);
    EXPECT_EQ(outline.points, QList<QPointF>({ { 0, 0 }, { 200, 0 }, { 200, 100 }, { 0, 100 } }));
    EXPECT_EQ(std::get<CircleShape>(plate.geometry.at(2)).centre, QPointF(185, 15));
    const auto &arc = std::get<ArcShape>(plate.geometry.at(8));
    EXPECT_EQ(arc.centre, QPointF(130, 50));
    EXPECT_EQ(arc.radius, 10);
    EXPECT_EQ(QPointF(arc.startAngle, arc.endAngle), QPointF(270, 90));
    EXPECT_EQ(std::get<LineShape>(plate.geometry.at(5)).to, QPointF(130, 40));
}

TEST(StandInFile, TypeFollowsTheExtensionInAnyCase)
{
    using Type = DocumentData::Type;
    EXPECT_EQ(documentTypeForFileName("T:/a/PLATE.SLDDRW"), Type::Drawing);
    EXPECT_EQ(documentTypeForFileName("plate.SlDpRt"), Type::Part);
    EXPECT_EQ(documentTypeForFileName("frame.sldasm"), Type::Assembly);
    for (const char *name : { "PLATE.SLDDRW.bak", "SLDDRW", "PLATE.DXF" })
        EXPECT_EQ(documentTypeForFileName(QString::fromLatin1(name)), std::nullopt) << name;

    Json assembly = minimalPart();
    assembly["type"] = "assembly";
    EXPECT_EQ(parseStandInDocument(bytes(assembly), "A.SLDASM").type, Type::Assembly);
    EXPECT_EQ(parseError(bytes(assembly), "A.SLDPRT"),
        "A.SLDPRT: type \"assembly\" does not match the extension .SLDPRT (a part)");
    EXPECT_EQ(parseError(bytes(minimalPart()), "P.JSON"),
        "P.JSON: not a stand-in document: the name must end in .SLDDRW, .SLDPRT or .SLDASM");
}

TEST(StandInFile, OptionalFieldsTakeTheirDefaults)
{
    const DocumentData drawing = parseStandInDocument(bytes(minimalDrawing()), "T.SLDDRW");
    EXPECT_EQ(drawing.activeSheet, "Sheet1");
    EXPECT_EQ(drawing.sheets.at(0).propertiesView, "Default");
    EXPECT_TRUE(drawing.sheets.at(0).views.at(0).loaded);
    EXPECT_TRUE(drawing.sheets.at(1).notes.isEmpty());

    Json open = minimalPart();
    open["geometry"] = Json::parse(R"([ { "polyline": [[0, 0], [5, 5]] } ])");
    EXPECT_FALSE(
        std::get<PolylineShape>(parseStandInDocument(bytes(open), "T.SLDPRT").geometry.at(0))
            .closed);
}

TEST(StandInFile, SelectionEntriesOnTheActiveSheet)
{
    const DocumentData selected = readStandInFile(testDataPath("SELECTEDVIEW.SLDDRW"));
    ASSERT_EQ(selected.selection.size(), 2);
    EXPECT_EQ(selected.selection.at(0).kind, SelectionEntry::Kind::Note);
    EXPECT_EQ(selected.selection.at(0).noteIndex, 0);
    EXPECT_EQ(selected.selection.at(1).kind, SelectionEntry::Kind::View);
    EXPECT_EQ(selected.selection.at(1).name, "Drawing View2");

    // Entries are checked against the active sheet, not the first one.
    Json drawing = minimalDrawing();
    drawing["activeSheet"] = "Sheet2";
    drawing["selection"] = Json::parse(R"([ { "sheet": "Sheet2" } ])");
    EXPECT_EQ(parseStandInDocument(bytes(drawing), "T.SLDDRW").selection.at(0).kind,
        SelectionEntry::Kind::Sheet);
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
    const QString path = testDataPath(QStringLiteral("broken/") + QLatin1String(GetParam().file));
    EXPECT_EQ(errorOf([&] { readStandInFile(path); }),
        path + ": " + QString::fromUtf8(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Files, StandInFileBroken,
    ::testing::Values(BrokenFile { "NOTJSON.SLDDRW",
                          "not valid JSON at line 1, column 1: syntax error while parsing value - "
                          "invalid literal; last read: 'T'" },
        BrokenFile { "TRUNCATED.SLDDRW",
            "not valid JSON at line 6, column 1: syntax error while parsing object key - "
            "unexpected end of input; expected string literal" },
        BrokenFile {
            "WRONGTYPE.SLDDRW", "type \"part\" does not match the extension .SLDDRW (a drawing)" },
        BrokenFile { "DUPLICATESHEETS.SLDDRW", "duplicate sheet name \"Sheet1\"" },
        BrokenFile { "BADACTIVESHEET.SLDDRW", "activeSheet \"Sheet9\" names no sheet" },
        BrokenFile { "BADGEOMETRY.SLDPRT",
            "field \"geometry[0].circle\" must be [x, y, radius] with a positive radius" }),
    [](const auto &info) {
        return QString::fromLatin1(info.param.file).remove(QLatin1Char('.')).toStdString();
    });

// One field broken at a time in an otherwise valid drawing (or part, when the pointer is into
// the geometry or configurations).
struct BrokenField {
    const char *name;
    const char *pointer; // JSON pointer of the field to replace, or remove when value is null
    const char *value;
    const char *problem;
};

class StandInFileField : public ::testing::TestWithParam<BrokenField> { };

TEST_P(StandInFileField, IsNamedInTheMessage)
{
    const Json::json_pointer pointer(GetParam().pointer);
    const bool part = pointer.to_string().starts_with("/geometry")
        || pointer.to_string().starts_with("/configurations");
    Json document = part ? minimalPart() : minimalDrawing();
    if (GetParam().value)
        document[pointer] = Json::parse(GetParam().value);
    else
        document[pointer.parent_pointer()].erase(pointer.back());
    const QString fileName = part ? QStringLiteral("T.SLDPRT") : QStringLiteral("T.SLDDRW");
    EXPECT_EQ(parseError(bytes(document), fileName),
        fileName + ": " + QString::fromUtf8(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(Documents, StandInFileField,
    ::testing::Values(
        BrokenField { "Version2", "/quilletStandIn", "2", "field \"quilletStandIn\" must be 1" },
        BrokenField { "PropertyNumber", "/properties", R"({ "": { "Revision": 5 } })",
            "field \"properties[\"\"][\"Revision\"]\" must be a string" },
        BrokenField { "NoSheets", "/sheets", "[]",
            "field \"sheets\" must be an array of at least one sheet" },
        BrokenField { "PaperZero", "/sheets/0/paper", "[0, 297]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        BrokenField { "PaperHuge", "/sheets/0/paper", "[420, 5001]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        BrokenField { "ModelNul", "/sheets/0/views/0/model", R"("A\u0000.SLDPRT")",
            "field \"sheets[0].views[0].model\" must be a file path without NUL characters" },
        BrokenField { "ScaleZero", "/sheets/0/views/0/scale", "0",
            "field \"sheets[0].views[0].scale\" must be a positive number" },
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
        BrokenField { "UnknownShape", "/geometry/0", R"({ "spline": [0, 0] })",
            "field \"geometry[0]\" must be one of polyline, circle, line or arc" }),
    [](const auto &info) { return std::string(info.param.name); });

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
    const QByteArray whole = readNative(testDataPath("SELECTEDVIEW.SLDDRW"));
    ASSERT_FALSE(whole.isEmpty());
    for (qsizetype size = 0; size < whole.trimmed().size(); ++size)
        ASSERT_TRUE(parseError(whole.left(size)).startsWith("T.SLDDRW: ")) << size;
    EXPECT_EQ(parseError(whole), QString());
}

TEST(StandInFile, UnreadableFilesNameThePath)
{
    const QString missing = testDataPath("NOSUCH.SLDDRW");
    EXPECT_EQ(errorOf([&] { readStandInFile(missing); }), missing + ": file not found");
    const QString folder = testDataPath("broken");
    EXPECT_EQ(errorOf([&] { readStandInFile(folder); }), folder + ": is a directory");
}

TEST(StandInFile, WrittenDocumentsReadBackTheSame)
{
    const QStringList files = QDir(testDataPath(QString()))
                                  .entryList({ "*.SLDDRW", "*.SLDPRT", "*.SLDASM" }, QDir::Files);
    ASSERT_GE(files.size(), 10);
    for (const QString &file : files) {
        const QByteArray written = writeStandInDocument(readStandInFile(testDataPath(file)));
        EXPECT_EQ(writeStandInDocument(parseStandInDocument(written, file)), written)
            << file.toStdString();
    }

    // Whole millimetres stay integers, fractions keep their digits, blanks and order stay.
    DocumentData drawing = readStandInFile(testDataPath("LIGHTWEIGHT.SLDDRW"));
    drawing.propertySetFor(QString()).set("Zeta", " ä  ");
    drawing.propertySetFor(QString()).set("Alpha", "1");
    drawing.sheets[0].views[0].x = 12.125;
    const QByteArray text = writeStandInDocument(drawing);
    EXPECT_TRUE(text.contains("\"y\": 150,")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"x\": 12.125,"));
    const DocumentData back = parseStandInDocument(text, "X.SLDDRW");
    EXPECT_EQ(back.propertySet(QString())->values,
        (QList<std::pair<QString, QString>>({ { "Zeta", " ä  " }, { "Alpha", "1" } })));
    EXPECT_FALSE(back.sheets.at(0).views.at(0).loaded);
    EXPECT_EQ(back.sheets.at(0).views.at(0).x, 12.125);
}
