#pragma once

#include "addin/CadHost.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The stand-in host's main window frame as the add-ins see it: it keeps the status bar text, and
// every text set since it was made, so that the workbench can show it and tests can read it.
class StandInFrame : public QObject, public CadFrame {
    Q_OBJECT
public:
    void SetStatusBarText(const QString &text) override;
    // The workbench's windows and the add-in's are all Qt's: no native owner is needed.
    quintptr WindowHandle() override { return 0; }

    QString statusBarText() const { return current; }
    // Every text set, oldest first.
    QStringList statusBarHistory() const { return history; }
    void clearStatusBarHistory() { history.clear(); }

signals:
    void statusBarTextChanged(const QString &text);

private:
    QString current;
    QStringList history;
};
