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

// What the host's interface does not show: a model's shapes and a note's place. The sheets'
// paper, the views' places and scales and the notes' texts show in the images quillet-batch
// writes, the workbench's clicks and the host's selection.
TEST(StandInFile, ReadsTheShapesOfAModelAndThePlaceOfANote)
{
    const NoteData note
        = parseStandInDocument(bytes(minimalDrawing()), "D.SLDDRW").sheets.at(0).notes.at(0);
    EXPECT_EQ(QPointF(note.x, note.y), QPointF(1, 2));

    const DocumentData plate = readStandInFile(testDataPath("PLATE.SLDPRT"));
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

    // A polyline is open unless said otherwise. The other defaults (the first sheet active, the
    // properties view "Default", views loaded) are what the host's and the filename builder's
    // tests open.
    Json open = minimalPart();
    open["geometry"] = Json::parse(R"([ { "polyline": [[0, 0], [5, 5]] } ])");
    EXPECT_FALSE(
        std::get<PolylineShape>(parseStandInDocument(bytes(open), "T.SLDPRT").geometry.at(0))
            .closed);
}

TEST(StandInFile, TypeFollowsTheExtensionInAnyCase)
{
    using Type = DocumentData::Type;
    EXPECT_EQ(documentTypeForFileName("T:/a/PLATE.SLDDRW"), Type::Drawing);
    EXPECT_EQ(documentTypeForFileName("plate.SlDpRt"), Type::Part);
    EXPECT_EQ(documentTypeForFileName("frame.sldasm"), Type::Assembly);
    for (const char *name : { "PLATE.SLDDRW.bak", "SLDDRW", "PLATE.DXF" })
        EXPECT_EQ(documentTypeForFileName(QString::fromLatin1(name)), std::nullopt) << name;

    EXPECT_EQ(parseError(bytes(minimalPart()), "P.JSON"),
        "P.JSON: not a stand-in document: the name must end in .SLDDRW, .SLDPRT or .SLDASM");
}

// Each broken file in tests/data, and a folder, is refused with a message that starts with its
// path.
TEST(StandInFile, BrokenFilesAreRefusedWithAMessageNamingTheFile)
{
    const std::pair<const char *, const char *> files[] = {
        { "TRUNCATED.SLDDRW",
            "not valid JSON at line 6, column 1: syntax error while parsing object key - "
            "unexpected end of input; expected string literal" },
        { "WRONGTYPE.SLDDRW", "type \"part\" does not match the extension .SLDDRW (a drawing)" },
        { "DUPLICATESHEETS.SLDDRW", "duplicate sheet name \"Sheet1\"" },
        { "BADACTIVESHEET.SLDDRW", "activeSheet \"Sheet9\" names no sheet" },
        { "BADGEOMETRY.SLDPRT",
            "field \"geometry[0].circle\" must be [x, y, radius] with a positive radius" }
    };
    for (const auto &[file, problem] : files) {
        const QString path = testDataPath(QStringLiteral("broken/") + QLatin1String(file));
        EXPECT_EQ(
            errorOf([&] { readStandInFile(path); }), path + ": " + QString::fromUtf8(problem));
    }
    const QString folder = testDataPath("broken");
    EXPECT_EQ(errorOf([&] { readStandInFile(folder); }), folder + ": is a directory");
}

// One field replaced at a time in an otherwise valid drawing, or part when the field lies in
// the geometry.
TEST(StandInFile, ABrokenFieldIsNamedInTheMessage)
{
    const std::tuple<const char *, const char *, const char *> fields[] = {
        { "/quilletStandIn", "2", "field \"quilletStandIn\" must be 1" },
        { "/properties", R"({ "": { "Revision": 5 } })",
            "field \"properties[\"\"][\"Revision\"]\" must be a string" },
        { "/sheets", "[]", "field \"sheets\" must be an array of at least one sheet" },
        { "/sheets/0/paper", "[0, 297]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        { "/sheets/0/paper", "[420, 5000.001]",
            "field \"sheets[0].paper\" must be two sizes above 0 and up to 5000 mm" },
        { "/sheets/0/paper", "[5000, 0.001]", "" },
        { "/sheets/0/views/0/model", R"("A\u0000.SLDPRT")",
            "field \"sheets[0].views[0].model\" must be a file path without NUL characters" },
        { "/sheets/0/views/0/scale", "0",
            "field \"sheets[0].views[0].scale\" must be a positive number" },
        { "/sheets/0/views/1",
            R"({ "name": "Drawing View1", "model": "A.SLDPRT", "configuration": "",
                 "x": 0, "y": 0, "scale": 1 })",
            "duplicate view name \"Drawing View1\" on sheet \"Sheet1\"" },
        { "/selection", R"([ { "view": "Drawing View1", "note": 0 } ])",
            "field \"selection[0]\" must be one of {\"view\": name}, {\"sheet\": name} or "
            "{\"note\": index}" },
        { "/selection", R"([ { "sheet": "Sheet2" } ])",
            "unknown selection entry \"selection[0]\": \"Sheet2\" is not the active sheet "
            "\"Sheet1\"" },
        { "/selection", R"([ { "note": 1 } ])",
            "unknown selection entry \"selection[0]\": no note 1 on the active sheet \"Sheet1\"" },
        { "/geometry/0", R"({ "spline": [0, 0] })",
            "field \"geometry[0]\" must be one of polyline, circle, line or arc" }
    };
    for (const auto &[field, value, problem] : fields) {
        const bool part = QByteArray(field).startsWith("/geometry");
        Json document = part ? minimalPart() : minimalDrawing();
        document[Json::json_pointer(field)] = Json::parse(value);
        const QString fileName = part ? "T.SLDPRT" : "T.SLDDRW";
        const QString expected
            = *problem ? fileName + ": " + QString::fromUtf8(problem) : QString();
        EXPECT_EQ(parseError(bytes(document), fileName), expected) << field << " = " << value;
    }

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

TEST(StandInFile, MalformedJsonIsRefusedWithItsPosition)
{
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
    const auto nested = [](int arrays) {
        return "{ \"x\": " + QByteArray(arrays, '[') + QByteArray(arrays, ']') + " }";
    };
    EXPECT_EQ(parseError(nested(64)), "T.SLDDRW: missing field \"quilletStandIn\"");
    EXPECT_EQ(parseError(nested(65)), "T.SLDDRW: not valid JSON: nested deeper than 64 levels");
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
    EXPECT_EQ(back.sheets.at(0).views.at(0).x, 12.125);
}
