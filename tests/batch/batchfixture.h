#pragma once

#include "addin/quilletmain.h"
#include "platform/pdfwritervalue.h"
#include "platform/settingsstore.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// quillet-batch as users run it: the built program in a process of its own, with its own
// settings store, drive map and home, so every run sees only what the test prepared. On Windows
// the settings store is the user's registry, which the program shares with the test: the add-in's
// and the PDF writer's keys start empty and get the user's values back afterwards.

struct BatchRun {
    int status = -1;
    // The lines of each stream; a last line without its line end shows as a marker.
    QStringList out;
    QStringList err;
};

// Every file and directory below a folder, relative path to content ("<dir>" for a directory).
inline QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (const QString &entry : tree(folder)) {
        const QString path = folder + QLatin1Char('/') + entry;
        files.insert(entry, QFileInfo(path).isDir() ? QByteArray("<dir>") : readNative(path));
    }
    return files;
}

// Native paths as the program shows them: with "\" on Windows.
inline QStringList shown(QStringList paths)
{
    for (QString &path : paths)
        path = QDir::toNativeSeparators(path);
    return paths;
}

// A status line: the product and version, then the text.
inline QString status(const QString &text)
{
    return Quilletmain::productAndVersion() + QStringLiteral(": ") + text;
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && config.isValid() && temp.isValid());
        for (const char *name : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT",
                 "SIXSHEETS.SLDDRW", "LIGHTWEIGHT_MISSINGMODEL.SLDDRW" })
            drive.copyData(QString::fromLatin1(name));
        drive.copyData("broken/TRUNCATED.SLDDRW", "TRUNCATED.SLDDRW");
        drive.mkdir("Out");
        drive.mkdir("Reports");
        drives = "T:=" + drive.native() + ";Z:=/";
        formatsFileBefore = readNative(formatsFile);
        ASSERT_FALSE(formatsFileBefore.isEmpty()) << "no formats file beside the program";
    }

    // The formats file beside the program belongs to the main dialog; the batch leaves it alone.
    void TearDown() override { EXPECT_EQ(readNative(formatsFile), formatsFileBefore); }

    // Also checks that the run wrote nothing to the settings store but the PDF writer's value.
    BatchRun run(
        const QStringList &arguments, const QString &program = QStringLiteral(QUILLET_BATCH))
    {
        QProcessEnvironment environment;
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "PATH", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS",
                 "UBSAN_OPTIONS", "ASAN_SYMBOLIZER_PATH", "SystemRoot", "WINDIR", "TEMP", "TMP",
                 "USERPROFILE", "APPDATA", "LOCALAPPDATA", "QT_PLUGIN_PATH" }) {
            if (system.contains(QLatin1String(name)))
                environment.insert(QLatin1String(name), system.value(QLatin1String(name)));
        }
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", config.path());
        environment.insert("QUILLET_DRIVES", drives);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LC_ALL", "C.UTF-8");
        // What a run leaves in the temporary folder is its own, whatever other programs leave in
        // the system's.
        for (const char *name : { "TMPDIR", "TEMP", "TMP" })
            environment.insert(QLatin1String(name), QDir::toNativeSeparators(temp.path()));
        for (auto it = addedEnvironment.cbegin(); it != addedEnvironment.cend(); ++it)
            environment.insert(it.key(), it.value());
        const QMap<QString, QByteArray> settingsBefore = settings();

        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(drive.native());
        process.start(program, arguments);
        BatchRun result;
        // The process is killed with its QProcess.
        if (!process.waitForFinished(120000)) {
            ADD_FAILURE() << "quillet-batch did not finish";
            return result;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        result.status = process.exitCode();
        result.out = linesOf(process.readAllStandardOutput());
        result.err = linesOf(process.readAllStandardError());
        EXPECT_TRUE(settings() == settingsBefore)
            << "the settings store changed: " << settings().keys().join(", ").toStdString();
        return result;
    }

    // Stored choices as the main dialog's GO! leaves them.
    void store(const QMap<QString, QString> &values) const
    {
#ifdef Q_OS_WIN
        const std::unique_ptr<QSettings> owned = openUserStore("Quillet");
        QSettings &stored = *owned;
#else
        QSettings stored(config.filePath("Quillet/Quillet.ini"), QSettings::IniFormat);
#endif
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            stored.setValue("Startup/" + it.key(), it.value());
        stored.sync();
        ASSERT_EQ(stored.status(), QSettings::NoError);
    }

    // The PDF writer's value as a text, "" when it was never written.
    QString whatToPlot() const
    {
#ifdef Q_OS_WIN
        return openPdfWriterSettings()->value("SolidWorksLt/WhatToPlot").toString();
#else
        return QSettings(config.filePath(pdfWriterFile), QSettings::IniFormat)
            .value("SolidWorksLt/WhatToPlot")
            .toString();
#endif
    }

    QStringList filesIn(const QString &relative) const
    {
        return tree(drive.native(relative));
    }

#ifdef Q_OS_WIN
    const TemporaryUserHive::Shared userKeys {
        { "Software\\VB and VBA Program Settings\\Quillet",
            "Software\\Bluebeam Software\\Pushbutton PDF" }
    };
#endif
    QTemporaryDir home;
    QTemporaryDir config;
    // The runs' temporary folder.
    QTemporaryDir temp;
    TempDrive drive;
    // QUILLET_DRIVES of the child.
    // Set for the runs on top of the fixture's environment.
    QMap<QString, QString> addedEnvironment;
    QString drives;
    QByteArray formatsFileBefore;

private:
    // The program writes UTF-8 to a pipe: on Windows as on Linux, where the locale is UTF-8.
    static QStringList linesOf(const QByteArray &bytes)
    {
        QString text = QString::fromUtf8(bytes);
#ifdef Q_OS_WIN
        // A Windows program's text lines end in CR LF.
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
        QStringList lines = text.split(QLatin1Char('\n'));
        if (lines.constLast().isEmpty())
            lines.removeLast();
        else
            lines.append(QStringLiteral("<no line end>"));
        return lines;
    }

    // The settings store without the PDF writer's value.
    QMap<QString, QByteArray> settings() const
    {
#ifdef Q_OS_WIN
        QMap<QString, QByteArray> values;
        const std::unique_ptr<QSettings> stored = openUserStore("Quillet");
        for (const QString &key : stored->allKeys())
            values.insert(key, stored->value(key).toString().toUtf8());
        return values;
#else
        QMap<QString, QByteArray> files = filesBelow(config.path());
        files.remove(pdfWriterFile.section(QLatin1Char('/'), 0, 0));
        files.remove(pdfWriterFile);
        return files;
#endif
    }

    const QString pdfWriterFile = QStringLiteral("Bluebeam Software/Pushbutton PDF.ini");
    const QString formatsFile
        = QFileInfo(QStringLiteral(QUILLET_BATCH)).absolutePath() + QStringLiteral("/Quillet.FMT");
};
