#pragma once

#include "addin/quilletmain.h"
#include "platform/clock.h"
#include "save/runpreparation.h"
#include "save/runsurroundings.h"
#include "save/savestate.h"
#include "standinhost.h"
#include "testsupport.h"

#include <gtest/gtest.h>

// Records what the save run asks of its surroundings, in order, beside the lines it logs.
class RecordingSurroundings : public RunSurroundings {
public:
    void refreshLog() override { calls.append(QStringLiteral("refresh")); }
    void showLogModeless() override { calls.append(QStringLiteral("show")); }
    void hideLog() override { calls.append(QStringLiteral("hide")); }
    void showLogModal() override { calls.append(QStringLiteral("modal")); }
    void hideMainDialog() override { calls.append(QStringLiteral("hideMain")); }
    void showProgress(int sheetsDone, int sheets) override
    {
        calls.append(
            QString::number(sheetsDone) + QStringLiteral(" of ") + QString::number(sheets));
    }

    QStringList lines;
    QStringList calls;
    void appendLog(const QString &line) override { lines.append(line); }
};

// A stand-in host on a temporary drive T:, the add-in's values filled, the clock stopped at
// 9 September 2005, 09:46, and an empty output log.
class SaveFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a stand-in document (JSON text) into the drive; returns its Windows path.
    QString writeDocument(const QString &relative, const QByteArray &json) const;
    // Opens a drawing of the drive and fills the state as the main dialog's load does.
    std::shared_ptr<StandInDocument> openDrawing(const QString &relative);
    // The drive's standard pair: PLATE.SLDPRT (configurations Default and C) and PLATE.SLDDRW
    // with sheets Sheet1 (view of Default) and Sheet2 (view of C).
    void writePlate() const;
    QString statusText() const { return app->frame()->statusBarText(); }

    TempDrive drive;
    std::shared_ptr<StandInApplication> app;
    SaveState state;
    // The run's choices; the base directory is the drive's Out.
    RunChoices choices;
    RecordingSurroundings surroundings;
    Clock::Source savedClock;
};
