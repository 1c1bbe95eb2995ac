#pragma once

#include <QStringList>

// The output log's lines: append-only, an empty line is a spacer. One log for the whole loaded
// add-in: lines stay while the log window is hidden and across runs; they go with the log window
// when it is destroyed (Done, its frame, GO!'s failure handling or the main dialog going).
class OutputLog {
public:
    static OutputLog &instance();

    void append(const QString &line) { logLines.append(line); }
    const QStringList &lines() const { return logLines; }
    // The log window is gone: the next use starts with an empty log.
    void clear() { logLines.clear(); }

private:
    QStringList logLines;
};
