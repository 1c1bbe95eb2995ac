#pragma once

#include "addin/quilletmain.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// quillet-batch as users run it: the built program in a process of its own, with its own
// settings store, drive map and home, so every run sees only what the test prepared.

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

// A status line: the product and version, then the text.
inline QString status(const QString &text)
{
    return Quilletmain::productAndVersion() + QStringLiteral(": ") + text;
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && config.isValid());
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
    BatchRun run(const QStringList &arguments)
    {
        QProcessEnvironment environment;
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "PATH", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS",
                 "UBSAN_OPTIONS", "ASAN_SYMBOLIZER_PATH" }) {
            if (system.contains(QLatin1String(name)))
                environment.insert(QLatin1String(name), system.value(QLatin1String(name)));
        }
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", config.path());
        environment.insert("QUILLET_DRIVES", drives);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LC_ALL", "C.UTF-8");
        const QMap<QString, QByteArray> settingsBefore = settings();

        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(drive.native());
        process.start(QStringLiteral(QUILLET_BATCH), arguments);
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
        QSettings stored(config.filePath("Quillet/Quillet.ini"), QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            stored.setValue("Startup/" + it.key(), it.value());
        stored.sync();
        ASSERT_EQ(stored.status(), QSettings::NoError);
    }

    // The PDF writer's value as a text, "" when it was never written.
    QString whatToPlot() const
    {
        return QSettings(config.filePath(pdfWriterFile), QSettings::IniFormat)
            .value("SolidWorksLt/WhatToPlot")
            .toString();
    }

    QStringList filesIn(const QString &relative) const { return tree(drive.native(relative)); }

    QTemporaryDir home;
    QTemporaryDir config;
    TempDrive drive;
    // QUILLET_DRIVES of the child.
    QString drives;
    QByteArray formatsFileBefore;

private:
    static QStringList linesOf(const QByteArray &bytes)
    {
        QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        if (lines.constLast().isEmpty())
            lines.removeLast();
        else
            lines.append(QStringLiteral("<no line end>"));
        return lines;
    }

    // The settings store without the PDF writer's value.
    QMap<QString, QByteArray> settings() const
    {
        QMap<QString, QByteArray> files = filesBelow(config.path());
        files.remove(pdfWriterFile.section(QLatin1Char('/'), 0, 0));
        files.remove(pdfWriterFile);
        return files;
    }

    const QString pdfWriterFile = QStringLiteral("Bluebeam Software/Pushbutton PDF.ini");
    const QString formatsFile
        = QFileInfo(QStringLiteral(QUILLET_BATCH)).absolutePath() + QStringLiteral("/Quillet.FMT");
};
