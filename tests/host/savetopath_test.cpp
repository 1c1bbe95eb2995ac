#include "platform/pdfwritervalue.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct SaveResult {
    bool saved = false;
    int errors = -1;
    int warnings = -1;
};

SaveResult save(CadDocument &document, const QString &pathName)
{
    SaveResult result;
    result.saved = document.SaveToPath(pathName, 0, 3, result.errors, result.warnings);
    return result;
}

// Every entry below a folder, hidden ones included, so that a leftover temporary file shows.
QStringList tree(const QString &nativeDir)
{
    QStringList entries;
    const QDir root(nativeDir);
    const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo &info : root.entryInfoList(filters, QDir::Name)) {
        entries.append(info.fileName());
        if (info.isDir()) {
            for (const QString &inner : tree(info.filePath()))
                entries.append(info.fileName() + QLatin1Char('/') + inner);
        }
    }
    return entries;
}

int pdfPages(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page\\b"));
    int pages = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++pages;
    return pages;
}

class SaveToPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.copyData(QStringLiteral("PLATE.SLDPRT"));
        drive.copyData(QStringLiteral("BRACKET.SLDPRT"));
        drive.copyData(QStringLiteral("PLATE.SLDDRW"));
        drive.mkdir(QStringLiteral("out"));
        drawing = app->open(drive.native(QStringLiteral("PLATE.SLDDRW")));
    }

    TempDrive drive;
    std::shared_ptr<StandInApplication> app = StandInApplication::create();
    std::shared_ptr<StandInDocument> drawing;
};

struct Refused {
    const char *name;
    const char *pathName;
    int errors;
};

class SaveToPathRefused : public SaveToPath, public ::testing::WithParamInterface<Refused> { };

} // namespace

TEST_P(SaveToPathRefused, WritesNothingAndAnswersTheErrorCode)
{
    const QStringList before = tree(drive.native());
    const SaveResult result = save(*drawing, QString::fromUtf8(GetParam().pathName));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.errors, GetParam().errors);
    EXPECT_EQ(result.warnings, 0);
    EXPECT_EQ(tree(drive.native()), before);
    EXPECT_EQ(drawing->PathName(), "T:\\PLATE.SLDDRW");
}

INSTANTIATE_TEST_SUITE_P(Codes, SaveToPathRefused,
    ::testing::Values(Refused { "EmptyName", "", 4 },
        Refused { "UnknownExtension", "T:\\out\\PLATE.XYZ", 256 },
        Refused { "NoExtension", "T:\\out\\PLATE", 256 },
        Refused { "BareDot", "T:\\out\\PLATE.", 256 }, Refused { "OnlyTheFolder", "T:\\out", 256 },
        Refused { "Dwg", "T:\\out\\PLATE.DWG", 32 },
        Refused { "DwgLowerCase", "T:\\out\\plate.dwg", 32 },
        Refused { "EDrawing", "T:\\out\\PLATE.EDRW", 32 },
        Refused { "DrawingAsPart", "T:\\out\\PLATE.SLDPRT", 32 },
        Refused { "DrawingAsAssembly", "T:\\out\\PLATE.SLDASM", 32 },
        Refused { "MissingDirectory", "T:\\missing\\PLATE.SLDDRW", 1 },
        Refused { "MissingDirectoryExport", "T:\\missing\\PLATE.PDF", 1 },
        Refused { "DriveNotMapped", "Q:\\out\\PLATE.SLDDRW", 1 },
        Refused { "ParentLevel", "T:\\out\\..\\PLATE.SLDDRW", 1 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SaveToPath, ReadOnlyTargetIsKept)
{
    const QString target = drive.native(QStringLiteral("out/PLATE.SLDDRW"));
    const QString pdf = drive.native(QStringLiteral("out/PLATE.PDF"));
    writeNative(target, "old content");
    writeNative(pdf, "old pdf");
    // Marked read-only: refused even for a user whom the system would let write it.
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(target, readOnly);
    QFile::setPermissions(pdf, readOnly);
    const QStringList before = tree(drive.native());

    const SaveResult result = save(*drawing, drive.win(QStringLiteral("out\\PLATE.SLDDRW")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.errors, 2);
    EXPECT_EQ(result.warnings, 0);
    EXPECT_EQ(save(*drawing, drive.win(QStringLiteral("out\\PLATE.PDF"))).errors, 2);

    EXPECT_EQ(readNative(target), "old content");
    EXPECT_EQ(readNative(pdf), "old pdf");
    EXPECT_EQ(tree(drive.native()), before);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(pdf, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(SaveToPath, TargetThatIsAFolderIsNotWritten)
{
    drive.mkdir(QStringLiteral("out/FOLDER.SLDDRW"));
    const SaveResult result = save(*drawing, drive.win(QStringLiteral("out\\FOLDER.SLDDRW")));
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.errors, 1);
    EXPECT_EQ(tree(drive.native(QStringLiteral("out"))), QStringList { "FOLDER.SLDDRW" });
}

TEST_F(SaveToPath, FailedWriteLeavesTheEarlierFileAsItWas)
{
    const QString target = drive.native(QStringLiteral("out/PLATE.SLDDRW"));
    writeNative(target, "earlier file");
    const QStringList before = tree(drive.native());

    SaveResult result;
    {
        const FileSizeLimit limit(64);
        result = save(*drawing, drive.win(QStringLiteral("out\\PLATE.SLDDRW")));
    }

    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.errors, 1);
    EXPECT_EQ(readNative(target), "earlier file");
    EXPECT_EQ(tree(drive.native()), before);
}

TEST_F(SaveToPath, NativeCopyReopensFromAnyFolder)
{
    ASSERT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet2")));
    drawing->SetCustomInfo2(QString(), QStringLiteral("Revision"), QStringLiteral("C"));
    ASSERT_TRUE(drawing->AddCustomInfo3(
        QString(), QStringLiteral("Material"), CadCode::PropText, QStringLiteral("steel")));
    const SaveResult result = save(*drawing, QStringLiteral("t:\\out\\PLATE_Sheet2_C.SLDDRW"));
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.errors, 0);
    EXPECT_EQ(result.warnings, 0);
    // The document keeps its own path name and title.
    EXPECT_EQ(drawing->PathName(), "T:\\PLATE.SLDDRW");
    EXPECT_EQ(drawing->Title(), "PLATE.SLDDRW");
    EXPECT_EQ(tree(drive.native(QStringLiteral("out"))), QStringList { "PLATE_Sheet2_C.SLDDRW" });

    // Model paths were recorded absolute, so a copy in another folder still finds its models.
    const QByteArray written
        = readNative(drive.native(QStringLiteral("out/PLATE_Sheet2_C.SLDDRW")));
    const DocumentData data = parseStandInDocument(written, QStringLiteral("C.SLDDRW"));
    EXPECT_EQ(data.sheets.at(2).views.at(0).model, drive.native(QStringLiteral("BRACKET.SLDPRT")));
    writeNative(drive.native(QStringLiteral("elsewhere/deeper/COPY.SLDDRW")), written);

    int errors = -1;
    int warnings = -1;
    const auto copy = app->OpenDocument(QStringLiteral("T:\\elsewhere\\deeper\\COPY.SLDDRW"),
        CadCode::DocDrawing, 1, QString(), errors, warnings);
    ASSERT_TRUE(copy);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(copy->PathName(), "T:\\elsewhere\\deeper\\COPY.SLDDRW");
    EXPECT_EQ(copy->GetCurrentSheet()->GetName(), "Sheet2");
    EXPECT_EQ(copy->CustomInfo2(QString(), QStringLiteral("Revision")), "C");
    EXPECT_EQ(copy->CustomPropertyNames(QString()),
        QStringList({ "Revision", "Title", "DrawnBy", "Material" }));
    const auto view = copy->FirstView()->GetNextView();
    EXPECT_EQ(view->ModelPathName(), "T:\\PLATE.SLDPRT");
    EXPECT_EQ(view->LoadReferencedModel(), 1);
}

TEST_F(SaveToPath, SavingAgainReplacesTheFileAndIsReadAnew)
{
    const QString target = QStringLiteral("T:\\out\\COPY.SLDDRW");
    ASSERT_TRUE(save(*drawing, target).saved);
    int errors = -1;
    int warnings = -1;
    auto copy = app->OpenDocument(target, CadCode::DocDrawing, 1, QString(), errors, warnings);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->CustomInfo2(QString(), QStringLiteral("Revision")), "D");

    // Same size, written at once: the host still reads what it wrote last.
    drawing->SetCustomInfo2(QString(), QStringLiteral("Revision"), QStringLiteral("Z"));
    ASSERT_TRUE(save(*drawing, target).saved);
    app->CloseDocument(target);
    copy = app->OpenDocument(target, CadCode::DocDrawing, 1, QString(), errors, warnings);
    EXPECT_EQ(copy->CustomInfo2(QString(), QStringLiteral("Revision")), "Z");

    // Saving over the document's own file is allowed.
    EXPECT_TRUE(save(*drawing, QStringLiteral("T:\\PLATE.SLDDRW")).saved);
    EXPECT_EQ(readStandInFile(drive.native(QStringLiteral("PLATE.SLDDRW")))
                  .propertySet(QString())
                  ->value(QStringLiteral("Revision")),
        "Z");
}

TEST_F(SaveToPath, ModelFileChangedOnDiskIsReadAnew)
{
    int code = -1;
    auto model = app->ActivateDocument(QStringLiteral("T:\\PLATE.SLDPRT"), true, code);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->CustomPropertyValue(QString(), QStringLiteral("Material")), "steel");
    app->CloseDocument(QStringLiteral("PLATE.SLDPRT"));

    DocumentData changed = readStandInFile(drive.native(QStringLiteral("PLATE.SLDPRT")));
    changed.propertySetFor(QString()).set(
        QStringLiteral("Material"), QStringLiteral("brass alloy"));
    writeNative(drive.native(QStringLiteral("PLATE.SLDPRT")), writeStandInDocument(changed));
    model = app->ActivateDocument(QStringLiteral("T:\\PLATE.SLDPRT"), true, code);
    EXPECT_EQ(model->CustomPropertyValue(QString(), QStringLiteral("Material")), "brass alloy");
}

TEST_F(SaveToPath, PartSavesInItsOwnFormatOnly)
{
    int code = -1;
    const auto part = app->ActivateDocument(QStringLiteral("T:\\PLATE.SLDPRT"), true, code);
    ASSERT_TRUE(part);
    EXPECT_EQ(save(*part, QStringLiteral("T:\\out\\PLATE.DXF")).errors, 32);
    EXPECT_EQ(save(*part, QStringLiteral("T:\\out\\PLATE.SLDDRW")).errors, 32);
    const SaveResult result = save(*part, QStringLiteral("T:\\out\\COPY.sldprt"));
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(tree(drive.native(QStringLiteral("out"))), QStringList { "COPY.sldprt" });
    EXPECT_EQ(readStandInFile(drive.native(QStringLiteral("out/COPY.sldprt"))).configurations,
        QStringList({ "Default", "X1" }));
}

TEST_F(SaveToPath, ExportsWriteTheActiveSheet)
{
    ASSERT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet3")));
    for (const char *name : { "PLATE.DXF", "PLATE.PDF", "plate.jpg", "PLATE.TIF" }) {
        const SaveResult result
            = save(*drawing, drive.win(QStringLiteral("out\\") + QLatin1String(name)));
        EXPECT_TRUE(result.saved) << name;
        EXPECT_EQ(result.errors, 0) << name;
        EXPECT_EQ(result.warnings, 0) << name;
    }
    EXPECT_EQ(tree(drive.native(QStringLiteral("out"))),
        QStringList({ "PLATE.DXF", "PLATE.PDF", "PLATE.TIF", "plate.jpg" }));
    const QByteArray dxf = readNative(drive.native(QStringLiteral("out/PLATE.DXF")));
    EXPECT_TRUE(dxf.contains("ENTITIES"));
    EXPECT_TRUE(dxf.contains("Drawing View5"));
    EXPECT_FALSE(dxf.contains("Drawing View1"));
    EXPECT_TRUE(readNative(drive.native(QStringLiteral("out/PLATE.PDF"))).startsWith("%PDF-"));
    EXPECT_TRUE(
        readNative(drive.native(QStringLiteral("out/plate.jpg"))).startsWith("\xFF\xD8\xFF"));
    const QByteArray tif = readNative(drive.native(QStringLiteral("out/PLATE.TIF")));
    EXPECT_TRUE(tif.startsWith(QByteArray("II*\0", 4)) || tif.startsWith(QByteArray("MM\0*", 4)));
    EXPECT_EQ(drawing->GetCurrentSheet()->GetName(), "Sheet3");
}

TEST_F(SaveToPath, PdfHoldsEverySheetWhenTheWriterSaysSo)
{
    ASSERT_TRUE(writePdfWriterValue(1));
    ASSERT_TRUE(save(*drawing, QStringLiteral("T:\\out\\ALL.PDF")).saved);
    ASSERT_TRUE(writePdfWriterValue(0));
    ASSERT_TRUE(save(*drawing, QStringLiteral("T:\\out\\ONE.PDF")).saved);
    EXPECT_EQ(pdfPages(readNative(drive.native(QStringLiteral("out/ALL.PDF")))), 3);
    EXPECT_EQ(pdfPages(readNative(drive.native(QStringLiteral("out/ONE.PDF")))), 1);
}
