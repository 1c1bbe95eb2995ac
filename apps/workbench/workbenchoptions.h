#pragma once

#include <QChar>
#include <QMap>
#include <QString>
#include <QStringList>

// What quillet-workbench was started with.
struct WorkbenchOptions {
    // Documents to open, native paths in the order given.
    QStringList documents;
    // "X:=DIR" mappings as given, each one well-formed.
    QStringList drives;
    bool showHelp = false;
    bool showVersion = false;
    // Why the arguments cannot be used; empty when they can.
    QString error;

    // arguments[0] is the program.
    static WorkbenchOptions parse(const QStringList &arguments);
    static QString helpText();
    // "1.00": the version of the stand-in host and its contract.
    static QString version();
};

// Maps drives for this process and for every add-in loaded after the call. A plugin keeps a drive
// map of its own, which it reads from QUILLET_DRIVES when it first needs it, so the mappings are
// put into that variable too, over the map in force (the variable's, or the default one).
void applyDriveMappings(const QStringList &mappings);

// Where the workbench looks for add-ins: beside its program, then in the add-in directory of an
// installation, found from the program's own directory so that an installation can be moved.
QStringList addInDirectories(const QString &programDirectory);

// The QUILLET_DRIVES text of a drive map: "C:=/home/me;Z:=/".
QString driveVariableText(const QMap<QChar, QString> &drives);
