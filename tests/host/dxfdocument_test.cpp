#include "dxf/dxfreader.h"
#include "dxfdocument.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QImageReader>
#include <gtest/gtest.h>

namespace {

class DxfDocument : public ::testing::Test {
protected:
    std::shared_ptr<StandInDocument> open(const QString &file)
    {
        drive.copyData("dxf/" + file, file);
        return app->open(drive.native(file));
    }

    // The error code of a save; the file is checked by the caller.
    int save(CadDocument &document, const QString &pathName)
    {
        int errors = -1;
        int warnings = -1;
        document.SaveToPath(pathName, 0, 3, errors, warnings);
        EXPECT_EQ(warnings, 0);
        return errors;
    }

    TempDrive drive;
    std::shared_ptr<StandInApplication> app = StandInApplication::create();
};

} // namespace

// The layouts that hold anything are the sheets, in tab order; the file was saved on the second.
TEST_F(DxfDocument, LayoutsAreTheSheetsAndTheSavedLayoutIsCurrent)
{
    const auto drawing = open("LAYOUTS.dxf");
    EXPECT_EQ(drawing->DocumentType(), CadCode::DocDrawing);
    EXPECT_EQ(drawing->GetSheetNames(), (QStringList { "Sheet A", "Sheet B" }));
    EXPECT_EQ(drawing->GetCurrentSheet()->GetName(), "Sheet B");
    EXPECT_EQ(drawing->sheet("Sheet A")->paper, QSizeF(420, 297));
    // No drawing view refers to a model: the native format's name finds none.
    EXPECT_TRUE(drawing->FirstView());
    EXPECT_FALSE(drawing->FirstView()->GetNextView());

    EXPECT_EQ(open("MODELONLY.dxf")->GetSheetNames(), QStringList { "Model" });
    EXPECT_EQ(open("UPPER.DXF")->GetSheetCount(), 1);
}

// Each layout answers from its own title block first, then the drawing's custom properties,
// names compared without regard to case.
TEST_F(DxfDocument, PropertiesComeFromTheActiveSheetsTitleBlockThenTheDrawing)
{
    const auto drawing = open("LAYOUTS.dxf");
    const auto values = [&](const QString &sheet) {
        EXPECT_TRUE(drawing->ActivateSheet(sheet));
        return QStringList { drawing->CustomInfo2("", "DWG_NO"), drawing->CustomInfo2("", "rev"),
            drawing->CustomInfo2("", "Title"), drawing->CustomInfo2("", "project"),
            drawing->CustomInfo2("", "Nothing") };
    };
    EXPECT_EQ(
        values("Sheet A"), (QStringList { "QA-1001", "B", "Base plate", "Quillet demo", "" }));
    EXPECT_EQ(values("Sheet B"), (QStringList { "QA-1002", "A", "Bracket", "Quillet demo", "" }));
    // The general properties are the drawing's own, as the file names them.
    EXPECT_EQ(drawing->CustomPropertyValue("", "DWG_NO"), "HEADER-NO");

    const auto cyrillic = open("CP1251.dxf");
    EXPECT_EQ(cyrillic->CustomInfo2("", "TITLE"), QString::fromUtf8("Корпус"));
}

// PDF, images and DXF are written; the native format, DWG and eDrawing are not available.
TEST_F(DxfDocument, SheetsSaveAsPdfImagesAndFlattenedDxf)
{
    const auto drawing = open("LAYOUTS.dxf");
    drive.mkdir("out");
    for (const char *refused : { "T:\\out\\A.SLDDRW", "T:\\out\\A.DWG", "T:\\out\\A.EDRW" })
        EXPECT_EQ(save(*drawing, QString::fromLatin1(refused)), 32) << refused;
    EXPECT_EQ(tree(drive.native("out")), QStringList());

    ASSERT_TRUE(drawing->ActivateSheet("Sheet A"));
    EXPECT_EQ(save(*drawing, "T:\\out\\A.PDF"), 0);
    EXPECT_TRUE(readNative(drive.native("out/A.PDF")).startsWith("%PDF-"));
    EXPECT_EQ(save(*drawing, "T:\\out\\A.JPG"), 0);
    // A3 at 200 dpi.
    EXPECT_EQ(QImageReader(drive.native("out/A.JPG")).size(), QSize(3307, 2339));

    EXPECT_EQ(save(*drawing, "T:\\out\\A.DXF"), 0);
    const dxf::Drawing flat = dxf::readDrawingFile(drive.native("out/A.DXF"));
    EXPECT_TRUE(flat.layouts.isEmpty());
    EXPECT_FALSE(flat.modelSpace.empty());
    // What was drawn lies on the sheet's paper, in millimetres.
    EXPECT_GE(flat.extentsMin.x, 0);
    EXPECT_GE(flat.extentsMin.y, 0);
    EXPECT_LE(flat.extentsMax.x, 420);
    EXPECT_LE(flat.extentsMax.y, 297);
}

// What a sheet cannot show is told once per sheet, however often it is drawn.
TEST_F(DxfDocument, WhatASheetLeavesOutIsToldOncePerSheet)
{
    writeNative(drive.native("ODD.dxf"),
        "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n10\n21\n10\n"
        "0\n3DSOLID\n8\n0\n0\n3DSOLID\n8\n0\n0\nHELIX\n8\n0\n0\nENDSEC\n0\nEOF\n");
    QStringList messages;
    QObject::connect(app.get(), &StandInApplication::message,
        [&messages](const QString &text) { messages.append(text); });
    const auto drawing = app->open(drive.native("ODD.dxf"));
    EXPECT_EQ(save(*drawing, "T:\\ODD.PDF"), 0);
    EXPECT_EQ(save(*drawing, "T:\\ODD.JPG"), 0);
    EXPECT_EQ(messages, QStringList { "ODD.dxf, sheet Model: not drawn: 2 3DSOLID, 1 HELIX" });
}

// A file that is no drawing is refused with the reader's message, naming the file and the line.
TEST_F(DxfDocument, ABrokenFileIsRefusedWithItsLine)
{
    writeNative(drive.native("CUT.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n");
    try {
        app->open(drive.native("CUT.dxf"));
        FAIL() << "a truncated file opened";
    } catch (const StandInFileError &failure) {
        EXPECT_TRUE(failure.message().startsWith(drive.native("CUT.dxf") + ": line "))
            << qPrintable(failure.message());
    }
    EXPECT_TRUE(app->documents().isEmpty());
}

// A block on a layer that is off (a callout left on the sheet) gives way to the title block the
// sheet shows, wherever it stands; the property panel lists both, the shown one first.
TEST_F(DxfDocument, AttributesOfBlocksTheSheetShowsWinOverHiddenOnes)
{
    const auto insert = [](const char *layer, const char *value) {
        return QByteArray("0\nINSERT\n8\n") + layer + "\n66\n1\n2\nTB\n10\n0\n20\n0\n"
            + "0\nATTRIB\n8\n0\n10\n0\n20\n0\n40\n2\n1\n" + value + "\n2\nSCALE\n70\n0\n"
            + "0\nSEQEND\n8\n0\n";
    };
    writeNative(drive.native("CALLOUT.dxf"),
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n2\n"
        "0\nLAYER\n2\nCALLOUTS\n70\n0\n62\n-7\n6\nCONTINUOUS\n"
        "0\nLAYER\n2\nTITLE\n70\n0\n62\n7\n6\nCONTINUOUS\n0\nENDTAB\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n"
            + insert("CALLOUTS", "NTS") + insert("TITLE", "N.T.S") + "0\nENDSEC\n0\nEOF\n");
    const auto drawing = app->open(drive.native("CALLOUT.dxf"));
    EXPECT_EQ(drawing->CustomInfo2("", "Scale"), "N.T.S");
    QStringList listed;
    for (const DxfProperty &property : dxfProperties(drawing->data(), 0))
        listed.append(property.name + "=" + property.value
            + (property.source == DxfProperty::Source::HiddenBlock ? " hidden" : ""));
    EXPECT_EQ(listed, (QStringList { "SCALE=N.T.S", "SCALE=NTS hidden" }));
}
