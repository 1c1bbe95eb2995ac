#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class StandInApplication;

// What the command line asked for; an option left out takes the stored choice.
struct BatchOptions {
    std::optional<int> outFmtIndex;
    std::optional<QString> filenameFormat;
    // "current", "all", or sheet names.
    std::optional<QString> sheets;
    // A native directory.
    std::optional<QString> output;
    std::optional<bool> useDestDirs;
    bool singleFile = false;
    bool quiet = false;
    QStringList drawings;
};

// Exit statuses: every file saved, a save reported as failed, a run ended with an error, bad usage.
namespace BatchStatus {
inline constexpr int Saved = 0;
inline constexpr int SaveFailed = 1;
inline constexpr int RunError = 2;
inline constexpr int Usage = 64;
} // namespace BatchStatus

// Runs the save pipeline on each drawing in turn, as GO! would with the same choices, and returns
// the highest status. Log lines go to standard output, status texts and errors to standard error.
int runBatch(StandInApplication &app, const BatchOptions &options);
