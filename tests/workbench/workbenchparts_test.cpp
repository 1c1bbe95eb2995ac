#include "platform/filesystemobject.h"
#include "standinhost.h"
#include "testsupport.h"
#include "workbench/recentfiles.h"
#include "workbench/sheetscene.h"
#include "workbench/sheetzoom.h"
#include "workbench/workbenchoptions.h"

#include <gtest/gtest.h>

// The workbench's plain parts: arguments and drives, the recent files, zoom arithmetic and what
// a click on a sheet hits.

TEST(WorkbenchOptions, ArgumentsBecomeOptionsOrOneError)
{
    const auto parse = [](QStringList arguments) {
        arguments.prepend("quillet-workbench");
        return WorkbenchOptions::parse(arguments);
    };
#ifdef Q_OS_WIN
    // The drives are the system's: there is no option to map one.
    EXPECT_EQ(parse({ "--drive", "T:=/srv/cad" }).error, "Unknown option 'drive'.");
    const WorkbenchOptions full = parse({ "A.SLDDRW", "B.SLDPRT" });
#else
    const WorkbenchOptions full
        = parse({ "A.SLDDRW", "--drive", "t:=/srv/cad", "--drive=Q:=rel", "B.SLDPRT" });
    EXPECT_EQ(full.drives, (QStringList { "t:=/srv/cad", "Q:=rel" }));
    EXPECT_EQ(parse({ "--drive", "T=/x" }).error, "bad drive mapping \"T=/x\" (expected X:=DIR)");
    EXPECT_EQ(parse({ "--drive", "T:=/a;b" }).error,
        "a mapped directory cannot contain \";\": \"T:=/a;b\"");
#endif
    EXPECT_EQ(full.documents, (QStringList { "A.SLDDRW", "B.SLDPRT" }));
    EXPECT_TRUE(full.error.isEmpty() && !full.showHelp && parse({ "-h" }).showHelp);
    EXPECT_TRUE(WorkbenchOptions::helpText().startsWith(
        "Usage: quillet-workbench [options] [DOCUMENT...]\n"));
}

#ifndef Q_OS_WIN
// Add-ins read the drive map from the environment, so it must hold the map this process uses.
TEST(WorkbenchOptions, DriveMappingsGoOverTheMapInForceAndIntoTheEnvironment)
{
    const auto savedMap = FileSystemObject::drives();
    const QByteArray savedVariable = qgetenv("QUILLET_DRIVES");
    FileSystemObject::setDrives({ { 'C', "/home/me" }, { 'Z', "/" } });
    applyDriveMappings({ "c:=/srv/cad", "D:=/data/" });
    EXPECT_EQ(qgetenv("QUILLET_DRIVES"), "C:=/srv/cad;D:=/data;Z:=/");
    EXPECT_EQ(FileSystemObject().toNative("D:\\x"), "/data/x");
    FileSystemObject::setDrives(savedMap);
    qputenv("QUILLET_DRIVES", savedVariable);
}
#endif

TEST(RecentFiles, NewestFirstOnceAndAtMostFive)
{
    QStringList list;
    for (const char *path : { "/a", "/b", "/c", "/d", "/e", "/f" })
        list = RecentFiles::added(list, path);
    EXPECT_EQ(list, (QStringList { "/f", "/e", "/d", "/c", "/b" }));
    list = RecentFiles::added(list, "/C");
    EXPECT_EQ(list, (QStringList { "/C", "/f", "/e", "/d", "/b" }));
    EXPECT_EQ(RecentFiles::removed(list, "/D"), (QStringList { "/C", "/f", "/e", "/b" }));
}

TEST(SheetZoom, FitsCentresAndZoomsAboutThePointer)
{
    // A3 landscape in a tall window: the width decides.
    const SheetZoom fitted = SheetZoom::fit({ 420, 297 }, { 440, 1000 }, 10);
    EXPECT_DOUBLE_EQ(fitted.dotsPerMm, 1);
    EXPECT_EQ(fitted.origin, QPointF(10, 351.5));
    EXPECT_EQ(fitted.toSheet({ 430, 648.5 }, 297), QPointF(420, 0));
    // In a wide window the height decides; a window with no room still shows the paper.
    EXPECT_DOUBLE_EQ(SheetZoom::fit({ 420, 297 }, { 2000, 614 }, 10).dotsPerMm, 2);
    EXPECT_DOUBLE_EQ(SheetZoom::fit({ 420, 297 }, { 5, 5 }, 10).dotsPerMm, SheetZoom::minDotsPerMm);

    const SheetZoom zoomed = fitted.zoomedAt(4, { 100, 400 });
    EXPECT_DOUBLE_EQ(zoomed.dotsPerMm, 4);
    EXPECT_EQ(zoomed.toSheet({ 100, 400 }, 297), fitted.toSheet({ 100, 400 }, 297));
    EXPECT_DOUBLE_EQ(zoomed.zoomedAt(1e6, {}).dotsPerMm, SheetZoom::maxDotsPerMm);
}

class SheetSceneTest : public ::testing::Test {
protected:
    TempDrive drive;
    std::shared_ptr<StandInApplication> app = StandInApplication::create();
};

TEST_F(SheetSceneTest, AClickFindsANoteBeforeAViewAndTheSmallerOfTwoViews)
{
    drive.copyData("PLATE.SLDPRT");
    drive.copyData("PLATE.SLDDRW");
    // Drawing View2 (half size) and the first note moved onto the middle of Drawing View1.
    DocumentData data = readStandInFile(drive.native("PLATE.SLDDRW"));
    SheetData &sheet = data.sheets.first();
    sheet.views[1].x = sheet.notes[0].x = 150;
    sheet.views[1].y = sheet.notes[0].y = 180;
    StandInDocument drawing(app, data, drive.native("PLATE.SLDDRW"), "PLATE.SLDDRW");
    const SheetScene scene = SheetScene::of(drawing);
    const auto at = [&](double x, double y, double tolerance = 0) {
        const auto entry = scene.itemAt({ x, y }, tolerance);
        if (!entry)
            return QString("none");
        return entry->kind == SelectionEntry::Kind::Note
            ? "note " + QString::number(entry->noteIndex)
            : entry->name;
    };
    EXPECT_EQ(at(151, 181), "note 0");
    EXPECT_EQ(at(190, 160), "Drawing View2");
    EXPECT_EQ(at(240, 160), "Drawing View1");
    // A view's name below its geometry belongs to it.
    EXPECT_EQ(at(150, scene.layout.views.at(0).bounds.top() - 6), "Drawing View1");
    EXPECT_EQ(at(31, 31), "note 1");
    EXPECT_EQ(at(29, 31), "none");
    EXPECT_EQ(at(29, 31, 2), "note 1");
    EXPECT_EQ(at(300, 80), "none");
}

TEST_F(SheetSceneTest, AViewWithoutItsModelKeepsAFrameAroundItsName)
{
    drive.copyData("MISSINGMODEL.SLDDRW");
    const SheetScene scene = SheetScene::of(*app->open(drive.native("MISSINGMODEL.SLDDRW")));
    ASSERT_EQ(scene.views.size(), 1);
    EXPECT_EQ(scene.layout.views.first().model, nullptr);
    const QPointF centre = scene.layout.views.first().centre;
    EXPECT_TRUE(scene.views.first().box.contains(centre));
    EXPECT_EQ(scene.itemAt(centre, 0)->name, scene.views.first().entry.name);
}
