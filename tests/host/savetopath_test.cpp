#include "standinhost.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
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

class SaveToPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        drive.copyData("PLATE.SLDPRT");
        drive.copyData("BRACKET.SLDPRT");
        drive.copyData("PLATE.SLDDRW");
        drive.mkdir("out");
        drawing = app->open(drive.native("PLATE.SLDDRW"));
    }

    void expectRefused(const QString &pathName, int errors)
    {
        const QStringList before = tree(drive.native());
        const SaveResult result = save(*drawing, pathName);
        EXPECT_FALSE(result.saved) << qPrintable(pathName);
        EXPECT_EQ(result.errors, errors) << qPrintable(pathName);
        EXPECT_EQ(result.warnings, 0);
        EXPECT_EQ(tree(drive.native()), before);
        EXPECT_EQ(drawing->PathName(), "T:\\PLATE.SLDDRW");
    }

    TempDrive drive;
    std::shared_ptr<StandInApplication> app = StandInApplication::create();
    std::shared_ptr<StandInDocument> drawing;
};

} // namespace

// An empty name is 4, a type the host cannot write 256 or, when it knows the type but not for
// this document, 32, and a place it cannot reach 1: on Windows a name with a trailing dot, which
// the system would write without it.
TEST_F(SaveToPath, RefusedSavesWriteNothingAndAnswerTheErrorCode)
{
    const std::pair<const char *, int> refused[] = { { "", 4 }, { "T:\\out\\PLATE.XYZ", 256 },
        { "T:\\out\\PLATE", 256 }, { "T:\\out\\PLATE.", windowsOr(1, 256) }, { "T:\\out", 256 },
        { "T:\\out\\PLATE.DWG", 32 }, { "T:\\out\\plate.dwg", 32 }, { "T:\\out\\PLATE.EDRW", 32 },
        { "T:\\out\\PLATE.SLDPRT", 32 }, { "T:\\out\\PLATE.SLDASM", 32 },
        { "T:\\missing\\PLATE.SLDDRW", 1 }, { "T:\\missing\\PLATE.PDF", 1 },
        { "Q:\\out\\PLATE.SLDDRW", 1 } };
    for (const auto &[pathName, errors] : refused)
        expectRefused(QString::fromUtf8(pathName), errors);
}

TEST_F(SaveToPath, ReadOnlyTargetOrFolderIsKept)
{
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    for (const char *name : { "PLATE.SLDDRW", "PLATE.PDF" }) {
        const QString target = drive.native(QStringLiteral("out/") + QLatin1String(name));
        writeNative(target, "old content");
        // Marked read-only: refused even for a user whom the system would let write it.
        QFile::setPermissions(target, readOnly);
        expectRefused(drive.win(QStringLiteral("out\\") + QLatin1String(name)), 2);
        EXPECT_EQ(readNative(target), "old content");
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    drive.mkdir("out/FOLDER.SLDDRW");
    expectRefused(drive.win("out\\FOLDER.SLDDRW"), 1);
}

#ifndef Q_OS_WIN
TEST_F(SaveToPath, FailedWriteLeavesTheEarlierFileAsItWas)
{
    const QString target = drive.native("out/PLATE.SLDDRW");
    writeNative(target, "earlier file");
    {
        const FileSizeLimit limit(64);
        expectRefused(drive.win("out\\PLATE.SLDDRW"), 1);
    }
    EXPECT_EQ(readNative(target), "earlier file");
}
#endif

// The error code says only that the file was not written; the host's message names the file and
// gives the system's reason, for a save in place as for a staged one, and for a write cut short.
TEST_F(SaveToPath, AFailedWriteNamesTheFileAndTheSystemsReason)
{
    QStringList messages;
    QObject::connect(app.get(), &StandInApplication::message,
        [&messages](const QString &text) { messages.append(text); });
    // A folder that cannot be made, even by a user whom no permission stops.
    writeNative(drive.native("out/file"), "a file, not a folder");
    expectRefused(drive.win("out\\file\\PLATE.PDF"), 1);
    app->stageSaves();
    expectRefused(drive.win("out\\file\\PLATE.SLDDRW"), 1);
    const QString parent = QDir::toNativeSeparators(drive.native("out/file/"));
#ifdef Q_OS_WIN
    ASSERT_EQ(messages.size(), 2);
    for (const QString &message : std::as_const(messages))
        EXPECT_TRUE(message.startsWith("cannot save " + parent + "PLATE.")) << qPrintable(message);
#else
    EXPECT_EQ(messages,
        (QStringList { "cannot save " + parent + "PLATE.PDF: Not a directory",
            "cannot save " + parent + "PLATE.SLDDRW: Not a directory" }));
    messages.clear();
    const FileSizeLimit limit(64);
    expectRefused(drive.win("out\\PLATE.SLDDRW"), 1);
    expectRefused(drive.win("out\\PLATE.PDF"), 1);
    EXPECT_EQ(messages,
        (QStringList { "cannot save " + drive.native("out/PLATE.SLDDRW") + ": File too large",
            "cannot save " + drive.native("out/PLATE.PDF") + ": File too large" }));
#endif
}

TEST_F(SaveToPath, NativeCopyKeepsTheDocumentsPathAndReopensAsSaved)
{
    ASSERT_TRUE(drawing->ActivateSheet("Sheet2"));
    drawing->SetCustomInfo2(QString(), "Revision", "C");
    ASSERT_TRUE(drawing->AddCustomInfo3(QString(), "Material", CadCode::PropText, "steel"));
    const SaveResult result = save(*drawing, "t:\\out\\PLATE_Sheet2_C.SLDDRW");
    EXPECT_EQ(std::tuple(result.saved, result.errors, result.warnings), std::tuple(true, 0, 0));
    // The document keeps its own path name, by which the save run closes it.
    EXPECT_EQ(drawing->PathName(), "T:\\PLATE.SLDDRW");
    EXPECT_EQ(tree(drive.native("out")), QStringList { "PLATE_Sheet2_C.SLDDRW" });

    // The copy reopens as it was saved, and its model paths were recorded absolute.
    const auto copy = app->open(drive.native("out/PLATE_Sheet2_C.SLDDRW"));
    EXPECT_EQ(copy->GetCurrentSheet()->GetName(), "Sheet2");
    EXPECT_EQ(copy->CustomPropertyNames(QString()),
        QStringList({ "Revision", "Title", "DrawnBy", "Material" }));
    EXPECT_EQ(copy->CustomInfo2(QString(), "Revision"), "C");
    EXPECT_EQ(copy->FirstView()->GetNextView()->ModelPathName(), "T:\\PLATE.SLDPRT");

    // Also over the document's own file; what is read after a save is the host's reading tests'
    // subject.
    drawing->SetCustomInfo2(QString(), "Revision", "Z");
    EXPECT_TRUE(save(*drawing, "T:\\PLATE.SLDDRW").saved);
    EXPECT_EQ(
        readStandInFile(drive.native("PLATE.SLDDRW")).propertySet(QString())->value("Revision"),
        "Z");
}

TEST_F(SaveToPath, PartSavesInItsOwnFormatOnly)
{
    const auto part = app->open(drive.native("PLATE.SLDPRT"));
    // Another document type's format is refused as for a drawing saved as a part.
    EXPECT_EQ(save(*part, "T:\\out\\PLATE.DXF").errors, 32);
    EXPECT_TRUE(save(*part, "T:\\out\\COPY.sldprt").saved);
    EXPECT_EQ(tree(drive.native("out")), QStringList { "COPY.sldprt" });
    EXPECT_EQ(readStandInFile(drive.native("out/COPY.sldprt")).configurations,
        QStringList({ "Default", "X1" }));
}

// quillet-batch's workers stage their saves for their call to rename into place: until then the
// target stays as it was, and to the application that saved it the staged file is the target.
TEST_F(SaveToPath, StagedSaveReplacesItsTargetOnlyWhenCommitted)
{
    const QString target = drive.native("out/PLATE_C.SLDDRW");
    writeNative(target, "earlier file");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QFile::setPermissions(target, mode);
    app->stageSaves();
    drawing->SetCustomInfo2(QString(), "Revision", "C");
    EXPECT_TRUE(save(*drawing, "T:\\out\\PLATE_C.SLDDRW").saved);
    EXPECT_TRUE(save(*drawing, "T:\\out\\PLATE.DXF").saved);

    const QList<StagedSaves::File> staged = app->stagedSaves()->files();
    ASSERT_EQ(staged.size(), 2);
    EXPECT_EQ(QDir::cleanPath(staged.at(0).target), target);
    // Hidden beside the target, with its extension, by which the host reads a file.
    const QFileInfo stagedFile(staged.at(0).staged);
    EXPECT_EQ(stagedFile.path(), drive.native("out"));
    EXPECT_TRUE(stagedFile.fileName().startsWith(".PLATE_C."));
    EXPECT_EQ(stagedFile.suffix(), "SLDDRW");
    EXPECT_EQ(tree(drive.native("out")).size(), 3);
    EXPECT_EQ(readNative(target), "earlier file");
    const auto reopened = app->open(target);
    EXPECT_EQ(reopened->CustomInfo2(QString(), "Revision"), "C");

    QString why;
    for (const StagedSaves::File &file : staged)
        ASSERT_TRUE(StagedSaves::commit(file, &why)) << qPrintable(why);
    EXPECT_EQ(tree(drive.native("out")), QStringList({ "PLATE.DXF", "PLATE_C.SLDDRW" }));
    EXPECT_EQ(readStandInFile(target).propertySet(QString())->value("Revision"), "C");
#ifndef Q_OS_WIN
    const QFileDevice::Permissions notUser = ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(QFile::permissions(target) & notUser, mode);
    // A save that fails stages nothing.
    const FileSizeLimit limit(64);
    EXPECT_FALSE(save(*drawing, "T:\\out\\PLATE_D.SLDDRW").saved);
    EXPECT_EQ(tree(drive.native("out")), QStringList({ "PLATE.DXF", "PLATE_C.SLDDRW" }));
#endif
    EXPECT_FALSE(StagedSaves::commit(staged.at(0), &why));
    EXPECT_FALSE(why.isEmpty());
}
