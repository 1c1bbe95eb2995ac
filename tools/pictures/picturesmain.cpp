// quillet-pictures EXAMPLES_DIR OUTDIR: renders the add-in's dialogs offscreen, as a user sees them
// with the sample drawing, into PNG files for the manual and the README: usrform.png, logform.png
// (after a DXF run of the sample's sheets), createdirform.png, selectdir.png, managedestdir.png,
// about.png and workbench.png.

#include "addin/quilletmain.h"
#include "addin/swaddin.h"
#include "destdirs/destdirtable.h"
#include "destdirs/managedestdir.h"
#include "dirdialogs/createdirform.h"
#include "dirdialogs/selectdir.h"
#include "loghelp/helpabout.h"
#include "loghelp/logform.h"
#include "maindialog/usrform.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "platform/msgbox.h"
#include "platform/settingsstore.h"
#include "standinhost.h"
#include "workbench/workbenchoptions.h"
#include "workbench/workbenchwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// The settings of a user who saves DXF files of every sheet below C:\Drawings\Out.
class PictureSettings : public SettingsStore {
public:
    QString read(const QString &, const QString &, const QString &key,
        const QString &defaultValue) const override
    {
        return values.value(key, defaultValue);
    }
    void write(const QString &, const QString &, const QString &, const QString &) override { }

    QMap<QString, QString> values {
        { QStringLiteral("Path"), QStringLiteral("C:\\Drawings\\Out") },
        { QStringLiteral("OutputFormatIndex"), QStringLiteral("1") },
        { QStringLiteral("FilenameFormat.DXF"), QStringLiteral("DRWNAME|_|SHEETNAME|_|Revision") },
        { QStringLiteral("SaveSheetSelectionType"), QStringLiteral("1") },
    };
};

bool save(QWidget *widget, const QString &path)
{
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

bool copySample(const QString &from, const QString &to)
{
    for (const char *name : { "PLATE.SLDDRW", "PLATE.SLDPRT", "BRACKET.SLDPRT" }) {
        const QString file = QString::fromLatin1(name);
        if (!QFile::copy(from + QLatin1Char('/') + file, to + QLatin1Char('/') + file))
            return false;
    }
    return true;
}

// workbench.png: the workbench on the sample drawing with the main dialog open over it. The
// add-in is the plugin beside this program, loaded as the workbench loads it: it reads its drive
// map from QUILLET_DRIVES and its choices from the QSettings store, not from this program's drive
// map or PictureSettings.
bool saveWorkbench(const QString &drawing, const QString &outDir)
{
    applyDriveMappings(
        { QStringLiteral("C:=") + FileSystemObject::drives().value(QLatin1Char('C')) });
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillet"),
        QStringLiteral("Quillet"));
    const PictureSettings choices;
    for (auto it = choices.values.cbegin(); it != choices.values.cend(); ++it)
        store.setValue(QStringLiteral("Startup/") + it.key(), it.value());
    store.sync();

    WorkbenchWindow window(QStringList { QCoreApplication::applicationDirPath() });
    window.resize(1200, 800);
    window.show();
    QAction *command = nullptr;
    if (window.openDocument(drawing)) {
        const auto *tools = window.menuBar()->findChild<QMenu *>(QStringLiteral("Tools"));
        for (QAction *action : tools->actions()) {
            if (action->text() == QLatin1String("Quillet 1.00"))
                command = action;
        }
    }
    if (!command)
        return false;
    bool saved = false;
    QTimer::singleShot(0, [&] {
        QWidget *form = QApplication::activeModalWidget();
        if (!form)
            return;
        // Offscreen windows have no frame: the dialog is drawn centred over the window, under a
        // plain title bar of its caption.
        QPixmap shot = window.grab();
        const QPixmap dialog = form->grab();
        const int titleHeight = form->fontMetrics().height() + 10;
        const QRect frame(QPoint((shot.width() - dialog.width()) / 2,
                              (shot.height() - dialog.height() - titleHeight) / 2),
            QSize(dialog.width(), dialog.height() + titleHeight));
        QPainter painter(&shot);
        painter.fillRect(frame.translated(6, 6), QColor(0, 0, 0, 60));
        painter.fillRect(frame, form->palette().color(QPalette::Mid));
        painter.setPen(form->palette().color(QPalette::Light));
        painter.drawText(
            frame.adjusted(8, 0, 0, 0).topLeft() + QPoint(0, titleHeight - 8), form->windowTitle());
        painter.drawPixmap(frame.topLeft() + QPoint(0, titleHeight), dialog);
        painter.end();
        saved = shot.save(outDir + QStringLiteral("/workbench.png"));
        std::printf(
            "%s %s/workbench.png\n", saved ? "wrote" : "could not write", qPrintable(outDir));
        form->findChild<QAbstractButton *>(QStringLiteral("cancel"))->click();
    });
    command->trigger();
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The plugin's choices go to a settings store of this run only, fixed before Qt first uses one.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // The sample user's home directory is drive C:, as in the default drive map, so the drive
    // list shows "c: [~]" rather than where this run happens to keep its files.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillet-pictures EXAMPLES_DIR OUTDIR\n");
        return 64;
    }
    const QString examples = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(outDir);

    // Drive C: holds the sample drawing and an output folder.
    const QDir drive(home.path());
    drive.mkpath(QStringLiteral("Drawings/Out"));
    if (!copySample(examples, drive.filePath(QStringLiteral("Drawings")))) {
        std::fprintf(stderr, "quillet-pictures: the sample drawing is not in %s\n", argv[1]);
        return 1;
    }
    FileSystemObject::setDrives({ { QLatin1Char('C'), drive.path() } });
    setModuleDirectory(drive.path());
    PictureSettings settings;
    setUserSettings(&settings);
    MsgBox::setPresenter([](const MsgBox::Message &message) {
        std::fprintf(stderr, "quillet-pictures: %s\n", qPrintable(message.text));
        return int(MsgBox::Ok);
    });

    const auto host = StandInApplication::create();
    swAddIn addIn;
    addIn.SwAddIn_ConnectToSW(host, 1);
    host->open(drive.filePath(QStringLiteral("Drawings/PLATE.SLDDRW")));

    bool saved = true;
    QTimer::singleShot(0, [&] {
        auto *form = qobject_cast<usrForm *>(QApplication::activeModalWidget());
        if (!form) {
            saved = false;
            return;
        }
        saved = save(form, outDir + QStringLiteral("/usrform.png")) && saved;
        QTimer::singleShot(0, [&] {
            logForm *log = logForm::existing();
            if (!log) {
                saved = false;
                return;
            }
            saved = save(log, outDir + QStringLiteral("/logform.png")) && saved;
            log->findChild<QPushButton *>(QStringLiteral("done"))->click();
        });
        form->findChild<QPushButton *>(QStringLiteral("go"))->click();
    });
    host->invokeCommand(addIn.menuItemPath);

    // The directory dialogs as the main dialog's commands open them.
    QString s_DirSpec;
    bool b_CreateDir = false;
    createDirForm create(QStringLiteral("C:\\Drawings\\Out"));
    create.findChild<QLineEdit *>(QStringLiteral("newDir"))
        ->setText(QStringLiteral("2005\\Plates"));
    create.show();
    saved = save(&create, outDir + QStringLiteral("/createdirform.png")) && saved;
    QString picked;
    selectDir picker(picked, s_DirSpec, b_CreateDir);
    picker.setWindowTitle(
        Quilletmain::productAndVersion() + QStringLiteral(" [Directory for DXF files]"));
    picker.setStartDirectory(QStringLiteral("C:\\Drawings"));
    picker.show();
    saved = save(&picker, outDir + QStringLiteral("/selectdir.png")) && saved;
    DestDirTable table = DestDirTable::fromSettings(settings);
    table.replace(QStringLiteral("[.DXF]"), QStringLiteral("Plots\\DXF"));
    table.replace(QStringLiteral("[.PDF]"), QStringLiteral("D:\\Issued"));
    manageDestDir destinations(table, QStringLiteral("C:\\Drawings\\Out"), s_DirSpec, b_CreateDir);
    destinations.show();
    saved = save(&destinations, outDir + QStringLiteral("/managedestdir.png")) && saved;

    // The About box names the manual where the Debian package installs it.
    setModuleDirectory(QStringLiteral("/usr/lib/x86_64-linux-gnu/quillet"));
    QMessageBox about(QMessageBox::Information,
        Quilletmain::productAndVersion() + QStringLiteral(" [Copyright]"), aboutText(),
        QMessageBox::Ok);
    setModuleDirectory(drive.path());
    about.show();
    saved = save(&about, outDir + QStringLiteral("/about.png")) && saved;
    saved = saveWorkbench(drive.filePath(QStringLiteral("Drawings/PLATE.SLDDRW")), outDir) && saved;
    addIn.SwAddIn_DisconnectFromSW();
    return saved ? 0 : 1;
}
