#pragma once

#include <QStringList>

// The output log's lines: append-only, an empty line is a spacer. One log for the whole loaded
// add-in: lines stay while the log window is hidden and across runs, until the user closes the
// window with Done.
class OutputLog {
public:
    static OutputLog &instance();

    void append(const QString &line) { logLines.append(line); }
    const QStringList &lines() const { return logLines; }
    // Done: the next use starts with an empty log.
    void clear() { logLines.clear(); }

private:
    QStringList logLines;
};
