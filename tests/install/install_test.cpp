#include "dialogdriver.h"
#include "platform/settingsstore.h"
#include "testsupport.h"
#include "workbench/workbenchoptions.h"
#include "workbench/workbenchsettings.h"
#include "workbench/workbenchwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The installation in its staging directory, used as a user would: the programs from its bin
// directory, which find the add-in, its formats file and its manual where they were installed.
namespace {

QString staged(const QString &relative)
{
    return QStringLiteral(QUILLET_STAGED_PREFIX) + QLatin1Char('/') + relative;
}

const QString addInDir = QStringLiteral(QUILLET_STAGED_ADDIN_DIR);

// Standard output of an installed program, which must end with status 0.
QString output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(staged("bin/" + program), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QAction *menuAction(WorkbenchWindow &window, const char *menuName, const QString &text)
{
    for (QAction *action : window.menuBar()->findChild<QMenu *>(menuName)->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

TEST(Installed, ProgramsRunFromTheInstallationAndSaveTheSampleDrawing)
{
    for (const QString &file : { staged("share/applications/quillet-workbench.desktop"),
             staged("share/mime/packages/quillet.xml"),
             staged("share/icons/hicolor/scalable/apps/quillet-workbench.svg"),
             staged("share/icons/hicolor/48x48/apps/quillet-workbench.png"),
             staged("share/man/man1/quillet-batch.1.gz"),
             staged("share/man/man1/quillet-workbench.1.gz"),
             staged("share/bash-completion/completions/quillet-batch"),
             addInDir + "/libQuilletAddIn.so", addInDir + "/Quillet.FMT",
             addInDir + "/doc/Quillet_User_Manual.html" })
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();

    EXPECT_EQ(output("quillet-batch", { "--version" }), "quillet-batch 1.00\n");
    EXPECT_EQ(output("quillet-workbench", { "--version" }), "quillet-workbench 1.00\n");
    QTemporaryDir out;
    output("quillet-batch",
        { "--quiet", "--format", "DXF", "--sheets", "all", "--no-dest-dirs", "--filename-format",
            "DRWNAME|_|SHEETNAME", "--output", out.path(),
            QStringLiteral(QUILLET_EXAMPLES "/PLATE.SLDDRW") });
    EXPECT_EQ(tree(out.path()),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
}

// The add-in directory belongs to the system: GO! leaves the installed formats file as it was and
// keeps the lists in the user's own copy, without a word.
TEST(Installed, TheWorkbenchConnectsTheInstalledAddInAndGoKeepsTheFormatsForTheUser)
{
    TempDrive drive;
    drive.mkdir("Out");
    drive.copyData("PLATE.SLDDRW");
    drive.copyData("PLATE.SLDPRT");
    drive.copyData("BRACKET.SLDPRT");
    workbenchSettings()->clear();
    const auto store = openUserStore("Quillet");
    store->clear();
    store->setValue("Startup/Path", drive.win("Out"));
    store->setValue("Startup/FilenameFormat.DXF", "DRWNAME|_|SHEETNAME");
    store->sync();
    QTemporaryDir data;
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QByteArray savedDrives = qgetenv("QUILLET_DRIVES");
    applyDriveMappings({ "T:=" + drive.native() });
    // A format collected before the add-in was installed read-only.
    writeNative(addInDir + "/Quillet.FMT", "[.DXF]\r\nDRWNAME|_|SHEETNUMBER\r\n");
    const QByteArray installed = readNative(addInDir + "/Quillet.FMT");
    ASSERT_TRUE(QFile::setPermissions(addInDir, QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(addInDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_DATA_HOME", savedDataHome);
        qputenv("QUILLET_DRIVES", savedDrives);
    });

    QStringList messages;
    {
        const WithoutFileRights withoutRights;
        WorkbenchWindow window(addInDirectories(staged("bin")));
        window.setPrompts({ [&](const QString &text) { messages.append(text); }, {} });
        window.openDocument(drive.native("PLATE.SLDDRW"));
        window.show();
        QAction *quillet = menuAction(window, "Tools", "Quillet 1.00");
        ASSERT_NE(quillet, nullptr);
        whileModal("usrForm", [](QWidget &form) {
            press(form, "outFmt(1)");
            press(form, "saveSheetType(1)");
            whileModal("logForm", [](QWidget &log) { press(log, "done"); });
            press(form, "go");
        });
        quillet->trigger();
    }
    EXPECT_EQ(messages, QStringList());
    EXPECT_EQ(tree(drive.native("Out")),
        (QStringList { "PLATE_Sheet1.DXF", "PLATE_Sheet2.DXF", "PLATE_Sheet3.DXF" }));
    EXPECT_EQ(readNative(addInDir + "/Quillet.FMT"), installed);
    QStringList entries
        = QDir(addInDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    entries.sort();
    EXPECT_EQ(entries, (QStringList { "Quillet.FMT", "doc", "libQuilletAddIn.so" }));
    const QByteArray copy = readNative(data.path() + "/Quillet/Quillet.FMT");
    EXPECT_TRUE(copy.contains("\r\n[.DXF]\r\nDRWNAME|_|SHEETNUMBER\r\n[.DWG]\r\n"))
        << copy.constData();
}
