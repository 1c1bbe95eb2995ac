#include "standinhost.h"
#include "testsupport.h"

#include <QObject>
#include <gtest/gtest.h>

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
        drive.copyData(QStringLiteral("PLATE.SLDPRT"));
        drive.copyData(QStringLiteral("BRACKET.SLDPRT"));
        return drive.copyData(file);
    }

    std::shared_ptr<StandInDocument> openDrawing(const QString &file)
    {
        copyDrawing(file);
        return app->open(drive.native(file));
    }

    std::shared_ptr<CadDocument> activate(const QString &pathName, int &code)
    {
        code = -1;
        return app->ActivateDocument(pathName, true, code);
    }

    static QStringList viewChain(CadDocument &drawing)
    {
        QStringList names;
        for (auto view = drawing.FirstView(); view; view = view->GetNextView())
            names.append(view->ViewName() + QLatin1Char('/') + QString::number(view->ViewType()));
        return names;
    }

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

TEST_F(StandInHost, ActivateDocumentOpensFromDiskAndAnswersErrorCodes)
{
    const QString drawingPath = copyDrawing(QStringLiteral("PLATE.SLDDRW"));
    int code = -1;
    const auto drawing = activate(drawingPath, code);
    ASSERT_TRUE(drawing);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(drawing->DocumentType(), CadCode::DocDrawing);
    EXPECT_EQ(drawing->PathName(), "T:\\PLATE.SLDDRW");
    EXPECT_EQ(drawing->Title(), "PLATE.SLDDRW");
    EXPECT_EQ(app->ActiveDocument(), drawing);

    // Path names compare without regard to case: the open document is found, not read again.
    EXPECT_EQ(activate(QStringLiteral("t:\\plate.slddrw"), code), drawing);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(app->documents().size(), 1);

    EXPECT_FALSE(activate(QStringLiteral("T:\\NOSUCH.SLDDRW"), code));
    EXPECT_EQ(code, 2);
    EXPECT_EQ(app->lastError(), drive.native("NOSUCH.SLDDRW") + ": file not found");

    // A malformed file is error 1 and nothing of it stays open.
    const QString broken = drive.copyData(QStringLiteral("broken/MISTYPED.SLDDRW"));
    EXPECT_FALSE(activate(broken, code));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(app->lastError(),
        drive.native("MISTYPED.SLDDRW") + ": field \"sheets[0].views[0].scale\" must be a number");

    writeNative(drive.native("notes.txt"), "text");
    EXPECT_FALSE(activate(QStringLiteral("T:\\notes.txt"), code));
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(activate(QString(), code));
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(activate(QStringLiteral("Q:\\PLATE.SLDDRW"), code)); // drive not mapped
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(activate(QStringLiteral("T:\\"), code)); // a folder
    EXPECT_EQ(code, 1);

    EXPECT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->ActiveDocument(), drawing);
}

TEST_F(StandInHost, ActivateDocumentMakesAnOpenDocumentActiveByPathOrTitle)
{
    const auto plate = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    const auto draw1 = app->newDrawing();
    EXPECT_EQ(app->ActiveDocument(), draw1);
    int code = -1;
    EXPECT_EQ(activate(QStringLiteral("T:\\PLATE.SLDDRW"), code), plate);
    EXPECT_EQ(app->activeDocument(), plate);
    EXPECT_EQ(activate(QStringLiteral("draw1"), code), draw1);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(activate(QStringLiteral("plate.slddrw"), code), plate);
    EXPECT_EQ(app->documents().size(), 2);
}

TEST_F(StandInHost, OpenDocumentReturnsTheOpenDocumentOrLoadsIt)
{
    const QString path = copyDrawing(QStringLiteral("PLATE.SLDDRW"));
    int errors = -1;
    int warnings = -1;
    const auto first = app->OpenDocument(path, CadCode::DocDrawing, 1, QString(), errors, warnings);
    ASSERT_TRUE(first);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(app->ActiveDocument(), first);
    EXPECT_EQ(app->OpenDocument(QStringLiteral("T:\\Plate.SlDdRw"), CadCode::DocDrawing, 1,
                  QString(), errors, warnings),
        first);
    EXPECT_EQ(app->documents().size(), 1);

    // A document of another type than asked for is refused, and not left open.
    EXPECT_FALSE(app->OpenDocument(
        QStringLiteral("T:\\PLATE.SLDPRT"), CadCode::DocDrawing, 1, QString(), errors, warnings));
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(app->OpenDocument(
        QStringLiteral("T:\\NOSUCH.SLDDRW"), CadCode::DocDrawing, 1, QString(), errors, warnings));
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->ActiveDocument(), first);
}

TEST_F(StandInHost, CloseDocumentByPathNameOrTitle)
{
    const auto plate = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    const auto six = openDrawing(QStringLiteral("SIXSHEETS.SLDDRW"));
    const auto draw1 = app->newDrawing();
    const auto draw2 = app->newDrawing();
    EXPECT_EQ(draw1->Title(), "Draw1");
    EXPECT_EQ(draw2->Title(), "Draw2");

    app->CloseDocument(QStringLiteral("Draw3"));
    app->CloseDocument(QStringLiteral("T:\\OTHER.SLDDRW"));
    EXPECT_EQ(app->documents().size(), 4);

    // Closing the active document hands over to the one opened last.
    app->CloseDocument(QStringLiteral("Draw2"));
    EXPECT_EQ(app->documents(), (QList<std::shared_ptr<StandInDocument>> { plate, six, draw1 }));
    EXPECT_EQ(app->activeDocument(), draw1);
    app->setActiveDocument(plate);
    app->CloseDocument(QStringLiteral("t:\\sixsheets.slddrw"));
    EXPECT_EQ(app->activeDocument(), plate);
    app->CloseDocument(QStringLiteral("PLATE.SLDDRW"));
    app->CloseDocument(QStringLiteral("Draw1"));
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_FALSE(app->ActiveDocument());

    // A closed document can be opened again as a new object.
    int code = -1;
    const auto again = activate(QStringLiteral("T:\\PLATE.SLDDRW"), code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(again, plate);
}

TEST_F(StandInHost, OpenThrowsTheReadersMessageAndKeepsNothing)
{
    drive.copyData(QStringLiteral("broken/UNKNOWNSELECTION.SLDDRW"));
    const QString path = drive.native(QStringLiteral("UNKNOWNSELECTION.SLDDRW"));
    try {
        app->open(path);
        FAIL() << "a drawing with an unknown selection entry opened";
    } catch (const StandInFileError &error) {
        EXPECT_EQ(error.message(),
            path
                + ": unknown selection entry \"selection[0]\": no view \"Drawing View2\" "
                  "on the active sheet \"Sheet1\"");
    }
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_THROW(app->open(drive.native(QStringLiteral("NOSUCH.SLDDRW"))), StandInFileError);
    EXPECT_EQ(app->lastError(), drive.native(QStringLiteral("NOSUCH.SLDDRW")) + ": file not found");
}

TEST_F(StandInHost, NewDrawingsHaveNoPathAndTakeATemplatesSheets)
{
    const auto empty = app->newDrawing();
    EXPECT_EQ(empty->Title(), "Draw1");
    EXPECT_EQ(empty->PathName(), QString());
    EXPECT_EQ(empty->GetSheetNames(), QStringList { "Sheet1" });
    EXPECT_EQ(viewChain(*empty), QStringList { "Sheet1/1" });

    copyDrawing(QStringLiteral("PLATE.SLDDRW"));
    const auto fromTemplate = app->newDrawing(drive.native(QStringLiteral("PLATE.SLDDRW")));
    EXPECT_EQ(fromTemplate->Title(), "Draw2");
    EXPECT_EQ(fromTemplate->PathName(), QString());
    EXPECT_EQ(fromTemplate->GetSheetCount(), 3);
    EXPECT_EQ(fromTemplate->CustomInfo2(QString(), QStringLiteral("Revision")), "D");
    // The template's relative model paths were resolved against the template's folder.
    const auto view = fromTemplate->FirstView()->GetNextView();
    EXPECT_EQ(view->ModelPathName(), "T:\\PLATE.SLDPRT");
    int code = -1;
    EXPECT_TRUE(activate(view->ModelPathName(), code));
    EXPECT_EQ(code, 0);

    EXPECT_THROW(app->newDrawing(drive.native(QStringLiteral("PLATE.SLDPRT"))), StandInFileError);
    EXPECT_EQ(app->lastError(),
        drive.native(QStringLiteral("PLATE.SLDPRT")) + ": a template must be a drawing");
    // A failed template does not use up a number.
    EXPECT_EQ(app->newDrawing()->Title(), "Draw3");
}

TEST_F(StandInHost, MenuItemsAndCallbacks)
{
    EXPECT_EQ(app->StandardMenuName(CadCode::MenuTools), "Tools");
    EXPECT_EQ(app->StandardMenuName(0), "File");
    EXPECT_EQ(app->StandardMenuName(6), "Help");
    EXPECT_EQ(app->StandardMenuName(7), QString());
    EXPECT_EQ(app->StandardMenuName(-1), QString());

    CallbackTarget addIn;
    app->RegisterCallbacks(0, &addIn, 7);
    app->AddCommandItem(CadCode::DocDrawing, 7, QStringLiteral("Quillet 1.00@Tools"), 0,
        QStringLiteral("showForm"), QStringLiteral("1"), QStringLiteral("hint"));
    app->AddCommandItem(CadCode::DocPart, 7, QStringLiteral("Other@Help"), 2,
        QStringLiteral("noSuchCallback"), QString(), QString());
    ASSERT_EQ(app->commandItems().size(), 2);
    const CommandItem item = app->commandItems().at(0);
    EXPECT_EQ(item.documentType, 3);
    EXPECT_EQ(item.cookie, 7);
    EXPECT_EQ(item.text(), "Quillet 1.00");
    EXPECT_EQ(item.menu(), "Tools");
    EXPECT_EQ(item.flags, "1");
    EXPECT_EQ(item.hint, "hint");

    // Only while a document of the item's type is active.
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    EXPECT_TRUE(app->availableCommandItems().isEmpty());
    openDrawing(QStringLiteral("PLATE.SLDDRW"));
    int code = -1;
    activate(QStringLiteral("T:\\PLATE.SLDPRT"), code);
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    EXPECT_EQ(addIn.calls, 0);
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Other@Help"))); // no such callback
    EXPECT_EQ(app->lastError(), "the add-in has no callback \"noSuchCallback\"");

    activate(QStringLiteral("T:\\PLATE.SLDDRW"), code);
    ASSERT_EQ(app->availableCommandItems().size(), 1);
    EXPECT_TRUE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    addIn.answer = false;
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    EXPECT_EQ(addIn.calls, 2);

    // Removal needs the same type, path and callback name.
    app->RemoveCommandItem(
        CadCode::DocPart, QStringLiteral("Quillet 1.00@Tools"), QStringLiteral("showForm"));
    EXPECT_EQ(app->commandItems().size(), 2);
    app->RemoveCommandItem(
        CadCode::DocDrawing, QStringLiteral("Quillet 1.00@Tools"), QStringLiteral("showForm"));
    ASSERT_EQ(app->commandItems().size(), 1);
    EXPECT_EQ(app->commandItems().at(0).itemPath, "Other@Help");
    EXPECT_FALSE(app->invokeCommand(QStringLiteral("Quillet 1.00@Tools")));
    EXPECT_EQ(addIn.calls, 2);
}

TEST_F(StandInHost, FrameKeepsTheStatusBarTextAndItsHistory)
{
    const auto frame = app->MainFrame();
    EXPECT_EQ(frame, app->MainFrame());
    frame->SetStatusBarText(QStringLiteral("Quillet 1.00 Copyright"));
    frame->SetStatusBarText(QString());
    frame->SetStatusBarText(QStringLiteral("Thank you for using Quillet 1.00"));
    EXPECT_EQ(app->frame()->statusBarText(), "Thank you for using Quillet 1.00");
    EXPECT_EQ(app->frame()->statusBarHistory(),
        QStringList({ "Quillet 1.00 Copyright", "", "Thank you for using Quillet 1.00" }));
}

TEST_F(StandInHost, SheetsAndViewsInFileOrder)
{
    const auto drawing = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    EXPECT_EQ(drawing->GetSheetCount(), 3);
    EXPECT_EQ(drawing->GetSheetNames(), QStringList({ "Sheet1", "Sheet2", "Sheet3" }));
    EXPECT_EQ(
        viewChain(*drawing), QStringList({ "Sheet1/1", "Drawing View1/7", "Drawing View2/7" }));

    const auto sheetView = drawing->FirstView();
    EXPECT_FALSE(sheetView->ModelLoaded());
    EXPECT_EQ(sheetView->ModelPathName(), QString());
    EXPECT_EQ(sheetView->ConfigurationName(), QString());
    EXPECT_EQ(sheetView->LoadReferencedModel(), 0);

    const auto second = sheetView->GetNextView()->GetNextView();
    EXPECT_TRUE(second->ModelLoaded());
    EXPECT_EQ(second->ModelPathName(), "T:\\PLATE.SLDPRT");
    EXPECT_EQ(second->ConfigurationName(), "X1");
    EXPECT_FALSE(second->GetNextView());

    const auto sheet = drawing->GetCurrentSheet();
    EXPECT_EQ(sheet->GetName(), "Sheet1");
    EXPECT_EQ(sheet->PropertiesViewName(), "Default");

    ASSERT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet3")));
    EXPECT_EQ(
        viewChain(*drawing), QStringList({ "Sheet3/1", "Drawing View5/7", "Drawing View6/7" }));
    EXPECT_EQ(drawing->CurrentSheet()->GetName(), "Sheet3");
    EXPECT_EQ(drawing->FirstView()->GetNextView()->ModelPathName(), "T:\\BRACKET.SLDPRT");
    ASSERT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet2")));
    EXPECT_EQ(drawing->GetCurrentSheet()->PropertiesViewName(), "Drawing View4");
    // A sheet object handed out earlier still names its own sheet.
    EXPECT_EQ(sheet->GetName(), "Sheet1");
    EXPECT_EQ(sheet->PropertiesViewName(), "Default");

    const auto noViews = openDrawing(QStringLiteral("NOVIEWS.SLDDRW"));
    EXPECT_EQ(viewChain(*noViews), QStringList { "Sheet1/1" });
}

TEST_F(StandInHost, ActivateSheetKeepsOrClearsTheSelection)
{
    const auto drawing = openDrawing(QStringLiteral("SELECTEDVIEW.SLDDRW"));
    ASSERT_TRUE(drawing->ActivateViewByName(QStringLiteral("Drawing View1")));

    EXPECT_FALSE(drawing->ActivateSheet(QStringLiteral("sheet2")));
    EXPECT_FALSE(drawing->ActivateSheet(QString()));
    EXPECT_EQ(drawing->GetCurrentSheet()->GetName(), "Sheet1");
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 2);

    // The active sheet activated again keeps its selection and active view.
    EXPECT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet1")));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 2);
    ASSERT_TRUE(drawing->ActiveView());
    EXPECT_EQ(drawing->ActiveView()->ViewName(), "Drawing View1");

    EXPECT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet2")));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
    EXPECT_FALSE(drawing->ActiveView());
    EXPECT_TRUE(drawing->ActivateSheet(QStringLiteral("Sheet1")));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
}

TEST_F(StandInHost, ActivateViewByNameOnTheActiveSheetOnly)
{
    const auto drawing = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    EXPECT_FALSE(drawing->ActiveView());
    EXPECT_FALSE(drawing->ActivateViewByName(QStringLiteral("Drawing View3"))); // on Sheet2
    EXPECT_FALSE(drawing->ActivateViewByName(QStringLiteral("drawing view1")));
    EXPECT_FALSE(drawing->ActivateViewByName(QStringLiteral("Sheet1")));
    EXPECT_FALSE(drawing->ActivateViewByName(QStringLiteral("Default")));
    EXPECT_FALSE(drawing->ActiveView());

    ASSERT_TRUE(drawing->ActivateViewByName(QStringLiteral("Drawing View2")));
    const auto view = drawing->ActiveView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->ViewName(), "Drawing View2");
    EXPECT_EQ(view->ViewType(), 7);
    EXPECT_EQ(view->ConfigurationName(), "X1");

    const auto lower = openDrawing(QStringLiteral("LOWERDEFAULT.SLDDRW"));
    EXPECT_EQ(lower->GetCurrentSheet()->PropertiesViewName(), "default");
    EXPECT_FALSE(lower->ActivateViewByName(QStringLiteral("default")));
}

TEST_F(StandInHost, SelectionManagerHandsOutViewsSheetsAndNotes)
{
    const auto drawing = openDrawing(QStringLiteral("SELECTEDVIEW.SLDDRW"));
    EXPECT_EQ(selectionTypes(*drawing), QStringList({ "0", "15", "12", "0" }));
    const auto selection = drawing->SelectionManager();
    const auto note = std::dynamic_pointer_cast<StandInNote>(selection->SelectedObject(1));
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text, "ALL EDGES DEBURRED");
    EXPECT_EQ(note->index, 0);
    const auto view = std::dynamic_pointer_cast<CadView>(selection->SelectedObject(2));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->ViewName(), "Drawing View2");
    EXPECT_EQ(view->ConfigurationName(), "X1");
    EXPECT_FALSE(selection->SelectedObject(0));
    EXPECT_FALSE(selection->SelectedObject(3));

    const auto other = openDrawing(QStringLiteral("SELECTEDOTHER.SLDDRW"));
    EXPECT_EQ(selectionTypes(*other), QStringList({ "0", "15", "13", "0" }));
    const auto sheet
        = std::dynamic_pointer_cast<CadSheet>(other->SelectionManager()->SelectedObject(2));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->GetName(), "Sheet1");

    // The host's own selection calls refuse what is not on the active sheet.
    SelectionEntry offSheet { SelectionEntry::Kind::View, QStringLiteral("Drawing View3"), 0 };
    EXPECT_FALSE(drawing->setSelection({ offSheet }));
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 2);
    SelectionEntry lastNote { SelectionEntry::Kind::Note, QString(), 1 };
    EXPECT_FALSE(drawing->setSelection({ lastNote }));
    SelectionEntry first { SelectionEntry::Kind::View, QStringLiteral("Drawing View1"), 0 };
    EXPECT_TRUE(drawing->setSelection({ first }));
    EXPECT_EQ(selectionTypes(*drawing), QStringList({ "0", "12", "0" }));
    drawing->clearSelection();
    EXPECT_EQ(drawing->SelectionManager()->SelectedCount(), 0);
}

TEST_F(StandInHost, LoadReferencedModel)
{
    const auto drawing = openDrawing(QStringLiteral("LIGHTWEIGHT.SLDDRW"));
    const auto first = drawing->FirstView()->GetNextView();
    const auto second = first->GetNextView();
    EXPECT_FALSE(first->ModelLoaded());
    EXPECT_FALSE(second->ModelLoaded());
    EXPECT_EQ(first->LoadReferencedModel(), 1);
    // Both views show the same model, so both are loaded now.
    EXPECT_TRUE(first->ModelLoaded());
    EXPECT_TRUE(second->ModelLoaded());
    EXPECT_EQ(first->LoadReferencedModel(), 1);

    const auto missing = openDrawing(QStringLiteral("LIGHTWEIGHT_MISSINGMODEL.SLDDRW"));
    const auto missingView = missing->FirstView()->GetNextView();
    EXPECT_EQ(missingView->LoadReferencedModel(), 0);
    EXPECT_FALSE(missingView->ModelLoaded());
    EXPECT_EQ(missingView->ModelPathName(), "T:\\MISSING.SLDPRT");

    drive.copyData(
        QStringLiteral("broken/BADGEOMETRY.SLDPRT"), QStringLiteral("broken/BADGEOMETRY.SLDPRT"));
    const auto broken = openDrawing(QStringLiteral("BROKENMODEL.SLDDRW"));
    EXPECT_EQ(broken->FirstView()->GetNextView()->LoadReferencedModel(), 0);
    EXPECT_FALSE(broken->FirstView()->GetNextView()->ModelLoaded());

    // A model that is a drawing is no model.
    drive.copyData(QStringLiteral("NOVIEWS.SLDDRW"));
    DocumentData data = readStandInFile(testDataPath(QStringLiteral("LIGHTWEIGHT.SLDDRW")));
    data.sheets[0].views[0].model = QStringLiteral("NOVIEWS.SLDDRW");
    writeNative(drive.native(QStringLiteral("DRAWINGMODEL.SLDDRW")), writeStandInDocument(data));
    const auto drawingModel = app->open(drive.native(QStringLiteral("DRAWINGMODEL.SLDDRW")));
    EXPECT_EQ(drawingModel->FirstView()->GetNextView()->LoadReferencedModel(), 0);
}

TEST_F(StandInHost, ModelOfAViewActivatesByItsPathName)
{
    const auto drawing = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    const auto view = drawing->FirstView()->GetNextView()->GetNextView();
    int code = -1;
    const auto model = activate(view->ModelPathName(), code);
    ASSERT_TRUE(model);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(model->DocumentType(), CadCode::DocPart);
    EXPECT_EQ(model->Title(), "PLATE.SLDPRT");
    EXPECT_EQ(model->PathName(), "T:\\PLATE.SLDPRT");
    EXPECT_EQ(app->ActiveDocument(), model);
    EXPECT_EQ(model->GetSheetCount(), 0);
    EXPECT_FALSE(model->FirstView());
    EXPECT_FALSE(model->CurrentSheet());
    EXPECT_FALSE(model->GetCurrentSheet());
    EXPECT_FALSE(model->ActivateSheet(QStringLiteral("Sheet1")));

    EXPECT_EQ(model->CustomPropertyValue(QStringLiteral("X1"), QStringLiteral("Revision")), "B");
    EXPECT_EQ(
        model->CustomPropertyValue(QStringLiteral("Default"), QStringLiteral("Revision")), "C");
    EXPECT_EQ(model->CustomPropertyValue(QString(), QStringLiteral("Revision")), "A");
    EXPECT_EQ(model->CustomPropertyValue(QString(), QStringLiteral("revision")), "");
    EXPECT_EQ(model->CustomPropertyValue(QStringLiteral("X2"), QStringLiteral("Revision")), "");
    EXPECT_EQ(model->CustomPropertyCount(QString()), 4);
    EXPECT_EQ(model->CustomPropertyNames(QString()),
        QStringList({ "Material", "Revision", "Description", "PartNo" }));
    EXPECT_EQ(
        model->CustomPropertyNames(QStringLiteral("X1")), QStringList({ "Revision", "PartNo" }));
    EXPECT_EQ(model->CustomPropertyCount(QStringLiteral("X2")), 0);
    EXPECT_TRUE(model->CustomPropertyNames(QStringLiteral("X2")).isEmpty());

    int errorCode = -1;
    const auto assembly = app->OpenDocument(
        drive.copyData(QStringLiteral("FRAME.SLDASM")), 2, 1, QString(), errorCode, code);
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->DocumentType(), CadCode::DocAssembly);
}

TEST_F(StandInHost, ModelPathsAreRelativeToTheDrawingsFolder)
{
    drive.copyData(QStringLiteral("PLATE.SLDPRT"), QStringLiteral("models/PLATE.SLDPRT"));
    DocumentData drawing = readStandInFile(testDataPath(QStringLiteral("PLATE.SLDDRW")));
    drawing.sheets[0].views[0].model = QStringLiteral("../models/PLATE.SLDPRT");
    drawing.sheets[0].views[1].model = drive.native(QStringLiteral("models/PLATE.SLDPRT"));
    writeNative(drive.native(QStringLiteral("drawings/REL.SLDDRW")), writeStandInDocument(drawing));

    const auto document = app->open(drive.native(QStringLiteral("drawings/REL.SLDDRW")));
    const auto first = document->FirstView()->GetNextView();
    EXPECT_EQ(first->ModelPathName(), "T:\\models\\PLATE.SLDPRT");
    EXPECT_EQ(first->GetNextView()->ModelPathName(), "T:\\models\\PLATE.SLDPRT");
    int code = -1;
    EXPECT_TRUE(activate(first->ModelPathName(), code));
    EXPECT_EQ(code, 0);
}

TEST_F(StandInHost, CustomPropertiesOfADrawing)
{
    const auto drawing = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    EXPECT_EQ(drawing->CustomInfo2(QString(), QStringLiteral("Revision")), "D");
    EXPECT_EQ(drawing->CustomInfo2(QString(), QStringLiteral("DrawnBy")), "  J. Smith  ");
    EXPECT_EQ(drawing->CustomInfo2(QString(), QStringLiteral("Material")), "");

    EXPECT_FALSE(drawing->AddCustomInfo3(
        QString(), QStringLiteral("Revision"), CadCode::PropText, QStringLiteral("X")));
    EXPECT_EQ(drawing->CustomInfo2(QString(), QStringLiteral("Revision")), "D");
    EXPECT_TRUE(drawing->AddCustomInfo3(
        QString(), QStringLiteral("Material"), CadCode::PropText, QStringLiteral("steel")));
    EXPECT_FALSE(
        drawing->AddCustomInfo3(QString(), QString(), CadCode::PropText, QStringLiteral("v")));
    // A drawing has general properties only.
    EXPECT_FALSE(drawing->AddCustomInfo3(
        QStringLiteral("X1"), QStringLiteral("Other"), CadCode::PropText, QStringLiteral("v")));
    drawing->SetCustomInfo2(QStringLiteral("X1"), QStringLiteral("Other"), QStringLiteral("v"));
    EXPECT_EQ(drawing->CustomPropertyCount(QStringLiteral("X1")), 0);

    drawing->SetCustomInfo2(QString(), QStringLiteral("Revision"), QStringLiteral("B"));
    drawing->SetCustomInfo2(QString(), QStringLiteral("PartNo"), QStringLiteral("P-1"));
    EXPECT_EQ(drawing->CustomPropertyNames(QString()),
        QStringList({ "Revision", "Title", "DrawnBy", "Material", "PartNo" }));
    EXPECT_EQ(drawing->CustomPropertyCount(QString()), 5);
    EXPECT_EQ(drawing->CustomPropertyValue(QString(), QStringLiteral("Revision")), "B");

    // A part takes properties for its own configurations only.
    int code = -1;
    const auto part = activate(QStringLiteral("T:\\PLATE.SLDPRT"), code);
    EXPECT_TRUE(part->AddCustomInfo3(QStringLiteral("X1"), QStringLiteral("Finish"),
        CadCode::PropText, QStringLiteral("paint")));
    EXPECT_FALSE(part->AddCustomInfo3(QStringLiteral("X9"), QStringLiteral("Finish"),
        CadCode::PropText, QStringLiteral("paint")));
    EXPECT_EQ(part->CustomPropertyValue(QStringLiteral("X1"), QStringLiteral("Finish")), "paint");
}

TEST_F(StandInHost, ChangesAreSignalled)
{
    int documentsChanged = 0;
    QList<StandInDocument *> changed;
    QObject::connect(app.get(), &StandInApplication::documentsChanged, [&] { ++documentsChanged; });
    QObject::connect(app.get(), &StandInApplication::documentChanged,
        [&](StandInDocument *document) { changed.append(document); });
    const auto drawing = openDrawing(QStringLiteral("PLATE.SLDDRW"));
    EXPECT_EQ(documentsChanged, 1);
    drawing->ActivateSheet(QStringLiteral("Sheet1"));
    EXPECT_TRUE(changed.isEmpty());
    drawing->ActivateSheet(QStringLiteral("Sheet2"));
    drawing->SetCustomInfo2(QString(), QStringLiteral("Revision"), QStringLiteral("E"));
    EXPECT_EQ(changed, (QList<StandInDocument *> { drawing.get(), drawing.get() }));
    app->close(drawing);
    EXPECT_EQ(documentsChanged, 2);
}

#include "standinhost_test.moc"
