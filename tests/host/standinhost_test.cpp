#include "documentcache.h"
#include "standinhost.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QScopeGuard>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

// An add-in object as the host sees it: a QObject whose command callback is invoked by name.
class CallbackTarget : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE bool showForm()
    {
        ++calls;
        return answer;
    }

    int calls = 0;
    bool answer = true;
};

class StandInHost : public ::testing::Test {
protected:
    // A drawing from tests/data with the models it refers to, at the root of the drive.
    QString copyDrawing(const QString &file)
    {
        drive.copyData("PLATE.SLDPRT");
        drive.copyData("BRACKET.SLDPRT");
        return drive.copyData(file);
    }

    std::shared_ptr<StandInDocument> openDrawing(const QString &file)
    {
        copyDrawing(file);
        return app->open(drive.native(file));
    }

    std::shared_ptr<CadDocument> activate(const QString &pathName, int expectedCode = 0)
    {
        int code = -1;
        auto document = app->ActivateDocument(pathName, true, code);
        EXPECT_EQ(code, expectedCode) << qPrintable(pathName);
        return document;
    }

    // "name/type" of every view of the active sheet, the sheet itself first.
    static QStringList viewChain(CadDocument &drawing)
    {
        QStringList names;
        for (auto view = drawing.FirstView(); view; view = view->GetNextView())
            names.append(view->ViewName() + QLatin1Char('/') + QString::number(view->ViewType()));
        return names;
    }

    // The selected types, asked one past either end.
    static QStringList selectionTypes(CadDocument &drawing)
    {
        const auto selection = drawing.SelectionManager();
        QStringList types;
        for (int i = 0; i <= selection->SelectedCount() + 1; ++i)
            types.append(QString::number(selection->SelectedType(i)));
        return types;
    }

    TempDrive drive;
    std::shared_ptr<StandInApplication> app = StandInApplication::create();
};

} // namespace

TEST_F(StandInHost, DocumentsOpenFromDiskOnceAndAnswerErrorCodes)
{
    const auto drawing = activate(copyDrawing("PLATE.SLDDRW"));
    // Its type, path name and title are what every save test opens.
    ASSERT_TRUE(drawing);
    // Path names compare without regard to case: the open document is found, not read again.
    EXPECT_EQ(activate("t:\\plate.slddrw"), drawing);
    int errors = -1;
    int warnings = -1;
    const auto open = [&](const QString &pathName) {
        return app->OpenDocument(pathName, CadCode::DocDrawing, 1, QString(), errors, warnings);
    };
    EXPECT_EQ(open("T:\\Plate.SlDdRw"), drawing);
    EXPECT_EQ(QPoint(errors, warnings), QPoint(0, 0));
    // A document of another type than asked for is refused.
    EXPECT_FALSE(open("T:\\PLATE.SLDPRT"));
    EXPECT_EQ(errors, 1);

    // A missing file is error 2, whatever else cannot be read error 1, and nothing of it stays
    // open.
    EXPECT_FALSE(activate("T:\\NOSUCH.SLDDRW", 2));
    EXPECT_FALSE(activate(drive.copyData("broken/MISTYPED.SLDDRW"), 1));
    EXPECT_EQ(app->lastError(),
        drive.native("MISTYPED.SLDDRW") + ": field \"sheets[0].views[0].scale\" must be a number");
    EXPECT_THROW(app->open(drive.native("MISTYPED.SLDDRW")), StandInFileError);
    writeNative(drive.native("notes.txt"), "text");
    for (const char *pathName : { "T:\\notes.txt", "", "T:\\" })
        EXPECT_FALSE(activate(QString::fromLatin1(pathName), 1));
    // On Windows the system finds no such file; elsewhere the drive is not mapped.
    EXPECT_FALSE(activate("Q:\\PLATE.SLDDRW", windowsOr(2, 1)));

    EXPECT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->ActiveDocument(), drawing);
}

// Another program rewrites a model at once with the same size and sets its time back, as a copy
// that keeps time stamps does: only the change time tells, and within one tick of the file clock
// not even that, so a file changed that shortly before its read is read again. The turns go on
// until a few rewrites fell within one tick, where the stamps are the same. Windows' file
// information has no change time: there the rewrite keeps the time it was made at.
TEST_F(StandInHost, AFileRewrittenOnDiskIsReadAnewWhateverItsTimeStamps)
{
    const QString path = drive.native("A.SLDPRT");
    const QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
    const auto write = [&](const char *partNo) {
        writeNative(path,
            QByteArray(R"({ "quilletStandIn": 1, "type": "part", "configurations": ["Default"], )")
                + R"("properties": { "": { "PartNo": ")" + partNo + R"(" } }, "geometry": [] })");
#ifdef Q_OS_WIN
        return true;
#else
        QFile file(path);
        return file.open(QIODevice::ReadOnly)
            && file.setFileTime(stamp, QFileDevice::FileModificationTime);
#endif
    };
    const auto read
        = [&] { return app->readDocumentFile(path)->propertySet(QString())->value("PartNo"); };
    const auto stamps = [&] {
        const QFileInfo info(path);
        return std::tuple(info.size(), info.lastModified(), info.metadataChangeTime());
    };
    int sameStamps = 0;
    for (int turn = 0; turn < 500 && sameStamps < 3; ++turn) {
        ASSERT_TRUE(write("A-1"));
        ASSERT_EQ(read(), "A-1");
        const auto before = stamps();
        ASSERT_TRUE(write("B-2"));
        sameStamps += stamps() == before ? 1 : 0;
        ASSERT_EQ(read(), "B-2") << "turn " << turn;
    }
}

#ifdef Q_OS_LINUX
// A model read long after it last changed is not opened again while its size, times and identity
// stay; one read shortly after a change is opened at every lookup. A change of its times has it
// read again but not parsed, one of its bytes parsed as well.
TEST_F(StandInHost, AFileIsOpenedAgainOnlyWhenItMayHaveChanged)
{
    const QString path = drive.native("PLATE.SLDPRT");
    drive.copyData("PLATE.SLDPRT");
    // Closes are watched too: the system merges an open into the one before it when nothing
    // came between them.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    const auto closeWatch = qScopeGuard([watch] { close(watch); });
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN | IN_CLOSE), 0);
    const auto opens = [watch] {
        alignas(inotify_event) char events[4096];
        int count = 0;
        for (ssize_t size; (size = ::read(watch, events, sizeof events)) > 0;) {
            for (ssize_t at = 0; at < size;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                count += event->mask & IN_OPEN ? 1 : 0;
                at += ssize_t(sizeof(inotify_event)) + event->len;
            }
        }
        return count;
    };

    // The test's own opens to change the file are counted apart.
    const auto setTimeBack = [&](int days) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly)
            && file.setFileTime(
                QDateTime::currentDateTime().addDays(-days), QFileDevice::FileModificationTime)
            && opens() == 1;
    };

    // Changed just now, though its modification time says otherwise, it is read at every lookup.
    qint64 ahead = 0;
    DocumentCache cache(
        [&ahead] { return QDateTime::currentMSecsSinceEpoch() * 1'000'000 + ahead; });
    ASSERT_TRUE(setTimeBack(1));
    const auto first = cache.read(path);
    EXPECT_EQ(cache.read(path), first);
    EXPECT_EQ(opens(), 2);

    // A minute later.
    ahead = qint64(60) * 1'000'000'000;
    EXPECT_EQ(cache.read(path), first);
    EXPECT_EQ(cache.read(path), first);
    EXPECT_EQ(cache.read(path), first);
    EXPECT_EQ(opens(), 1);
    ASSERT_TRUE(setTimeBack(2));
    EXPECT_EQ(cache.read(path), first);
    EXPECT_EQ(opens(), 1);
    DocumentData changed = *first;
    changed.configurations.append("X2");
    writeNative(path, writeStandInDocument(changed));
    ASSERT_EQ(opens(), 1);
    EXPECT_EQ(cache.read(path)->configurations, changed.configurations);
    EXPECT_EQ(cache.read(path)->configurations, changed.configurations);
    EXPECT_EQ(opens(), 1);
}
#endif

TEST_F(StandInHost, ActivatesAndClosesOpenDocumentsByPathNameOrTitle)
{
    const auto plate = openDrawing("PLATE.SLDDRW");
    const auto six = openDrawing("SIXSHEETS.SLDDRW");
    const auto draw1 = app->newDrawing();
    EXPECT_EQ(viewChain(*draw1), QStringList { "Sheet1/1" });
    // A template that is not a drawing is refused and does not use up a number.
    EXPECT_THROW(app->newDrawing(drive.native("PLATE.SLDPRT")), StandInFileError);
    EXPECT_EQ(app->lastError(), drive.native("PLATE.SLDPRT") + ": a template must be a drawing");
    const auto draw2 = app->newDrawing();
    EXPECT_EQ(activate("plate.slddrw"), plate);
    EXPECT_EQ(activate("draw1"), draw1);
    EXPECT_EQ(activate("T:\\SIXSHEETS.SLDDRW"), six);
    app->CloseDocument("Draw3");
    app->CloseDocument("T:\\OTHER.SLDDRW");
    EXPECT_EQ(app->documents().size(), 4);

    // Closing the active document hands over to the one opened last, not the one active before.
    app->CloseDocument("t:\\sixsheets.slddrw");
    EXPECT_EQ(app->documents(), (QList<std::shared_ptr<StandInDocument>> { plate, draw1, draw2 }));
    EXPECT_EQ(app->ActiveDocument(), draw2);
    activate("T:\\PLATE.SLDDRW");
    app->CloseDocument("Draw2");
    EXPECT_EQ(app->ActiveDocument(), plate);
    app->CloseDocument("PLATE.SLDDRW");
    app->CloseDocument("Draw1");
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_FALSE(app->ActiveDocument());
    // A closed document is read again as a new object.
    EXPECT_NE(activate("T:\\PLATE.SLDDRW"), plate);
}

// The add-in's own tests cover adding, removing and calling its item for a drawing, and the
// workbench's finding it by text under its menu.
TEST_F(StandInHost, CommandItemsCallBackByNameAndAnswerTheCallbacksResult)
{
    CallbackTarget addIn;
    app->RegisterCallbacks(0, &addIn, 7);
    const QString item = "Quillet 1.00@Tools";
    app->AddCommandItem(CadCode::DocDrawing, 7, item, 0, "showForm", "1", "hint");
    app->AddCommandItem(CadCode::DocPart, 7, "Other@Help", 2, "noSuchCallback", {}, {});
    // Nothing is available without a document of the item's type.
    EXPECT_TRUE(app->availableCommandItems().isEmpty());
    EXPECT_FALSE(app->invokeCommand(item));

    activate(copyDrawing("PLATE.SLDDRW"));
    activate("T:\\PLATE.SLDPRT");
    EXPECT_FALSE(app->invokeCommand("Other@Help"));
    EXPECT_EQ(app->lastError(), "the add-in has no callback \"noSuchCallback\"");
    activate("T:\\PLATE.SLDDRW");
    addIn.answer = false;
    EXPECT_FALSE(app->invokeCommand(item));
    EXPECT_EQ(addIn.calls, 1);
    EXPECT_EQ(app->lastError(), "the callback \"showForm\" returned false");

    // Removal needs the same type, path and callback name.
    app->RemoveCommandItem(CadCode::DocPart, item, "showForm");
    app->RemoveCommandItem(CadCode::DocDrawing, item, "noSuchCallback");
    EXPECT_EQ(app->commandItems().size(), 2);
}

TEST_F(StandInHost, SheetsAndViewsActivateOnTheActiveSheetOnly)
{
    const auto drawing = openDrawing("SELECTEDVIEW.SLDDRW");
    // On Sheet2, in another case, the sheet, the properties view.
    for (const char *name : { "Drawing View3", "drawing view1", "Sheet1", "Default" })
        EXPECT_FALSE(drawing->ActivateViewByName(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(drawing->ActiveView());
    ASSERT_TRUE(drawing->ActivateViewByName("Drawing View1"));
    EXPECT_FALSE(drawing->ActivateSheet("sheet2"));
    EXPECT_FALSE(drawing->ActivateSheet(QString()));
    EXPECT_EQ(drawing->GetCurrentSheet()->GetName(), "Sheet1");

    // The active sheet activated again keeps its selection and active view.
    EXPECT_TRUE(drawing->ActivateSheet("Sheet1"));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 2);
    ASSERT_TRUE(drawing->ActiveView());
    EXPECT_EQ(drawing->ActiveView()->ViewName(), "Drawing View1");

    const auto sheet1 = drawing->GetCurrentSheet();
    EXPECT_TRUE(drawing->ActivateSheet("Sheet2"));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
    EXPECT_FALSE(drawing->ActiveView());
    // The view chain follows the active sheet; a sheet object handed out earlier still names its
    // own sheet.
    EXPECT_EQ(viewChain(*drawing), QStringList({ "Sheet2/1", "Drawing View3/7" }));
    EXPECT_EQ(sheet1->GetName(), "Sheet1");
    EXPECT_TRUE(drawing->ActivateSheet("Sheet1"));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
}

TEST_F(StandInHost, SelectionManagerHandsOutViewsSheetsAndNotes)
{
    const auto drawing = openDrawing("SELECTEDVIEW.SLDDRW");
    EXPECT_EQ(selectionTypes(*drawing), QStringList({ "0", "15", "12", "0" }));
    const auto selection = drawing->SelectionManager();
    const auto note = std::dynamic_pointer_cast<StandInNote>(selection->SelectedObject(1));
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text, "ALL EDGES DEBURRED");
    // The selected view is the one whose model the filename builder's tests find.
    EXPECT_FALSE(selection->SelectedObject(0));
    EXPECT_FALSE(selection->SelectedObject(3));

    const auto other = openDrawing("SELECTEDOTHER.SLDDRW");
    EXPECT_EQ(selectionTypes(*other), QStringList({ "0", "15", "13", "0" }));
    const auto sheet
        = std::dynamic_pointer_cast<CadSheet>(other->SelectionManager()->SelectedObject(2));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->GetName(), "Sheet1");

    // The host's own selection calls refuse what is not on the active sheet.
    using Kind = SelectionEntry::Kind;
    EXPECT_FALSE(drawing->setSelection({ { Kind::View, "Drawing View3", 0 } }));
    EXPECT_FALSE(drawing->setSelection({ { Kind::Note, QString(), 1 } }));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 2);
    EXPECT_TRUE(drawing->setSelection({ { Kind::View, "Drawing View1", 0 } }));
    EXPECT_EQ(selectionTypes(*drawing), QStringList({ "0", "12", "0" }));
    drawing->clearSelection();
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
}

TEST_F(StandInHost, LoadReferencedModelAnswersWhetherTheModelLoaded)
{
    const auto drawing = openDrawing("LIGHTWEIGHT.SLDDRW");
    const auto first = drawing->FirstView()->GetNextView();
    const auto second = first->GetNextView();
    EXPECT_FALSE(second->ModelLoaded());
    // The sheet's own view shows no model.
    EXPECT_EQ(drawing->FirstView()->LoadReferencedModel(), 0);
    EXPECT_EQ(first->LoadReferencedModel(), 1);
    // Both views show the same model, so both are loaded now.
    EXPECT_TRUE(first->ModelLoaded());
    EXPECT_TRUE(second->ModelLoaded());
    EXPECT_EQ(first->LoadReferencedModel(), 1);

    // The drawing says loaded, but the model's file is missing.
    const auto missing = openDrawing("MISSINGMODEL.SLDDRW")->FirstView()->GetNextView();
    EXPECT_FALSE(missing->ModelLoaded());
    EXPECT_EQ(missing->LoadReferencedModel(), 0);
    EXPECT_FALSE(missing->ModelLoaded());

    // A drawing where the model should be.
    drive.copyData("NOVIEWS.SLDDRW");
    DocumentData data = readStandInFile(testDataPath("LIGHTWEIGHT.SLDDRW"));
    data.sheets[0].views[0].model = "NOVIEWS.SLDDRW";
    writeNative(drive.native("DRAWINGMODEL.SLDDRW"), writeStandInDocument(data));
    const auto view = app->open(drive.native("DRAWINGMODEL.SLDDRW"))->FirstView()->GetNextView();
    EXPECT_EQ(view->LoadReferencedModel(), 0);
    EXPECT_FALSE(view->ModelLoaded());
}

// Model paths are relative to the drawing's folder, or absolute.
TEST_F(StandInHost, ModelOfAViewActivatesByItsPathName)
{
    drive.copyData("PLATE.SLDPRT", "models/PLATE.SLDPRT");
    DocumentData drawing = readStandInFile(testDataPath("PLATE.SLDDRW"));
    drawing.sheets[0].views[0].model = "../models/PLATE.SLDPRT";
    drawing.sheets[0].views[1].model = drive.native("models/PLATE.SLDPRT");
    writeNative(drive.native("drawings/REL.SLDDRW"), writeStandInDocument(drawing));
    const auto first = app->open(drive.native("drawings/REL.SLDDRW"))->FirstView()->GetNextView();
    EXPECT_EQ(first->GetNextView()->ModelPathName(), "T:\\models\\PLATE.SLDPRT");
    const auto model = activate(first->ModelPathName());
    ASSERT_TRUE(model);
    EXPECT_EQ(model->PathName(), "T:\\models\\PLATE.SLDPRT");
    EXPECT_EQ(model->DocumentType(), CadCode::DocPart);
    EXPECT_EQ(app->ActiveDocument(), model);
    EXPECT_FALSE(model->FirstView());
    EXPECT_FALSE(model->GetCurrentSheet());

    // Each configuration has its own properties; names match exactly.
    const QStringList values { model->CustomPropertyValue("X1", "Revision"),
        model->CustomPropertyValue("Default", "Revision"),
        model->CustomPropertyValue(QString(), "Revision"),
        model->CustomPropertyValue(QString(), "revision"),
        model->CustomPropertyValue("X2", "Revision") };
    EXPECT_EQ(values, QStringList({ "B", "C", "A", "", "" }));
    EXPECT_EQ(model->CustomPropertyNames("X1"), QStringList({ "Revision", "PartNo" }));
    EXPECT_EQ(model->CustomPropertyCount("X2"), 0);

    const auto assembly = activate(drive.copyData("FRAME.SLDASM"));
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->DocumentType(), CadCode::DocAssembly);
}

TEST_F(StandInHost, CustomPropertiesOfADrawing)
{
    const auto drawing = openDrawing("PLATE.SLDDRW");
    const auto add = [](CadDocument &document, const QString &configuration, const QString &name) {
        return document.AddCustomInfo3(configuration, name, CadCode::PropText, "v");
    };
    EXPECT_EQ(drawing->CustomInfo2(QString(), "DrawnBy"), "  J. Smith  ");
    EXPECT_EQ(drawing->CustomInfo2(QString(), "Material"), "");
    // Adding never replaces, and a drawing has general properties only.
    EXPECT_FALSE(add(*drawing, QString(), "Revision"));
    EXPECT_EQ(drawing->CustomInfo2(QString(), "Revision"), "D");
    EXPECT_TRUE(add(*drawing, QString(), "Material"));
    EXPECT_FALSE(add(*drawing, QString(), QString()));
    EXPECT_FALSE(add(*drawing, "X1", "Other"));
    drawing->SetCustomInfo2("X1", "Other", "v");
    EXPECT_EQ(drawing->CustomPropertyCount("X1"), 0);

    drawing->SetCustomInfo2(QString(), "Revision", "B");
    drawing->SetCustomInfo2(QString(), "PartNo", "P-1");
    EXPECT_EQ(drawing->CustomPropertyNames(QString()),
        QStringList({ "Revision", "Title", "DrawnBy", "Material", "PartNo" }));
    EXPECT_EQ(drawing->CustomPropertyValue(QString(), "Revision"), "B");

    // A part takes properties for its own configurations only.
    const auto part = activate("T:\\PLATE.SLDPRT");
    EXPECT_TRUE(add(*part, "X1", "Finish"));
    EXPECT_FALSE(add(*part, "X9", "Finish"));
    EXPECT_EQ(part->CustomPropertyValue("X1", "Finish"), "v");
}

#include "standinhost_test.moc"
