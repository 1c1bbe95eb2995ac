#include "saveorder.h"

#include <gtest/gtest.h>

// The call takes its workers' drawings in order: a drawing's saves stand unless an earlier
// drawing saved under one of its names; the workers are told the record's saves as they join it.

namespace {

WorkerResult drawing(
    const QList<QList<std::pair<QString, SheetSave::Status>>> &runs, const QList<bool> &started)
{
    WorkerResult result;
    for (const auto &sheets : runs) {
        DrawingRecord &record = result.runs.emplace_back();
        for (const auto &[target, status] : sheets)
            record.sheets.append(
                { QStringLiteral("Sheet%1").arg(record.sheets.size() + 1), target, status });
    }
    result.started = started;
    return result;
}

} // namespace

TEST(SaveOrder, ADrawingStandsUnlessItSavedUnderAnEarlierDrawingsNameAndWorkersHearEachSaveOnce)
{
    using Status = SheetSave::Status;
    SaveOrder order;
    // A run that never started takes no number; a failed save takes no name.
    const WorkerResult first = drawing(
        { {}, { { "T:\\Out\\A.DXF", Status::Saved }, { "T:\\Out\\B.DXF", Status::Failed } } },
        { false, true });
    ASSERT_TRUE(order.stands(first));
    order.add(first, "T:\\FIRST.SLDDRW");

    // Its own refusal of a name it saved under before, a refusal it was told to make, and a name
    // that failed earlier stand.
    const WorkerResult second = drawing(
        { { { "T:\\Out\\C.DXF", Status::Saved }, { "T:\\Out\\C.DXF", Status::NameTaken },
            { "T:\\Out\\A.DXF", Status::NameTaken }, { "T:\\Out\\B.DXF", Status::Saved } } },
        { true });
    ASSERT_TRUE(order.stands(second));
    order.add(second, "T:\\SECOND.SLDDRW");

    // Names compare without regard to case, as the host's file system compares them; a save
    // that failed under a taken name would have been refused.
    EXPECT_FALSE(order.stands(drawing({ { { "t:\\OUT\\a.dxf", Status::Saved } } }, { true })));
    EXPECT_FALSE(order.stands(drawing({ { { "T:\\Out\\c.dxf", Status::Failed } } }, { true })));
    EXPECT_TRUE(order.stands(drawing({ { { "T:\\Out\\D.DXF", Status::Saved } } }, { true })));

    // A worker hears the saves since it was last told, in the order they joined, through the
    // text it is sent.
    qsizetype told = 1;
    const std::optional<EarlierSaves> news = EarlierSaves::fromJson(order.since(told).toJson());
    ASSERT_TRUE(news);
    EXPECT_EQ(told, 3);
    EXPECT_EQ(news->saved.runs, 2);
    EXPECT_EQ(news->saved.byTarget.keys().size(), 2);
    const SavedTargets::Taker c = news->saved.byTarget.value("t:\\out\\c.dxf");
    EXPECT_EQ(std::tuple(c.run, c.drawingPath, c.sheetName),
        std::tuple(2, QString("T:\\SECOND.SLDDRW"), QString("Sheet1")));
    EXPECT_EQ(news->saved.byTarget.value("t:\\out\\b.dxf").sheetName, "Sheet4");

    // A drawing the call saved itself is in the record already; its saves join the news.
    DrawingRecord third;
    third.sheets = { { "Sheet1", "T:\\Out\\E.DXF", Status::Saved },
        { "Sheet2", "T:\\Out\\A.DXF", Status::NameTaken } };
    order.record().byTarget.insert("t:\\out\\e.dxf", { 3, "T:\\THIRD.SLDDRW", "Sheet1" });
    order.addedInPlace({ third });
    EXPECT_EQ(order.since(told).saved.byTarget.keys(), QList<QString> { "t:\\out\\e.dxf" });
    EXPECT_EQ(told, 4);
    EXPECT_TRUE(order.since(told).saved.byTarget.isEmpty());
    EXPECT_FALSE(EarlierSaves::fromJson("not a record"));
    EXPECT_FALSE(WorkerResult::decode("not an answer"));
}
