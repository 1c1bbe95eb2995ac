#include "saveorder.h"

#include <gtest/gtest.h>

// The call takes its workers' drawings in order: a drawing's saves stand unless an earlier
// drawing saved under one of its names, which comes back with the earlier save for the drawing
// to refuse as one process would.

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

TEST(SaveOrder, ADrawingSavedUnderAnEarlierDrawingsNameIsSavedAgainKnowingIt)
{
    using Status = SheetSave::Status;
    SaveOrder order;
    // A run that never started takes no number; a failed save takes no name.
    const WorkerResult first = drawing(
        { {}, { { "T:\\Out\\A.DXF", Status::Saved }, { "T:\\Out\\B.DXF", Status::Failed } } },
        { false, true });
    ASSERT_FALSE(order.earlierSaves(first));
    order.add(first, "T:\\FIRST.SLDDRW");

    // Its own refusal of a name it saved under before, and a name that failed earlier, stand.
    const WorkerResult second
        = drawing({ { { "T:\\Out\\C.DXF", Status::Saved }, { "T:\\Out\\C.DXF", Status::NameTaken },
                      { "T:\\Out\\B.DXF", Status::Saved } } },
            { true });
    ASSERT_FALSE(order.earlierSaves(second));
    order.add(second, "T:\\SECOND.SLDDRW");

    // Names compare without regard to case, as the host's file system compares them.
    const WorkerResult third
        = drawing({ { { "t:\\OUT\\a.dxf", Status::Saved }, { "T:\\Out\\D.DXF", Status::Saved },
                      { "T:\\Out\\c.dxf", Status::Failed } } },
            { true });
    const std::optional<EarlierSaves> earlier = order.earlierSaves(third);
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->saved.runs, 2);
    EXPECT_EQ(earlier->saved.byTarget.keys().size(), 2);
    const SavedTargets::Taker a = earlier->saved.byTarget.value("t:\\out\\a.dxf");
    EXPECT_EQ(std::tuple(a.run, a.drawingPath, a.sheetName),
        std::tuple(1, QString("T:\\FIRST.SLDDRW"), QString("Sheet1")));
    EXPECT_EQ(earlier->saved.byTarget.value("t:\\out\\c.dxf").run, 2);

    // What a worker is told survives its way there.
    const std::optional<EarlierSaves> told = EarlierSaves::fromJson(earlier->toJson());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->saved.runs, 2);
    EXPECT_EQ(told->saved.byTarget.value("t:\\out\\c.dxf").drawingPath, "T:\\SECOND.SLDDRW");
    EXPECT_FALSE(WorkerResult::decode("not an answer"));
}
