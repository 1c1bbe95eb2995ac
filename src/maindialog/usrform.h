#pragma once

#include "destdirs/destdirtable.h"
#include "formats/fmtlists.h"
#include "formats/outputformats.h"
#include "save/savestate.h"

#include <QDialog>
#include <QHash>
#include <QList>

class DirList;
class QKeyEvent;
class DriveList;
class ElidedLabel;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
struct RunChoices;

// The main dialog: output format, filename format, directories and sheets for the active
// drawing. Its rules live below it (refreshRules, the stored choices, the format box's rules, the
// run preparation); the dialog holds the controls and wires them up. Controls are found by their
// given object names: "outFmt(6)", "saveSheetType(2)", "filenameFmt", ...
class usrForm : public QDialog {
    Q_OBJECT

public:
    // Loads the dialog for the host's active document. When the load fails its message has been
    // shown and loaded() is false: the dialog is then not to be shown.
    explicit usrForm(std::shared_ptr<CadApplication> app, QWidget *parent = nullptr);
    ~usrForm() override;

    bool loaded() const { return isLoaded; }

    // The enabled states, the forced sheet choice and the format box, for the current choices.
    void refreshControls();
    // The format box from the current format list key's list and current format.
    void refillFmtList();
    // "[" + pdfSuffix + extension + "]" of the chosen format.
    QString currentFormatListKey() const;
    // The chosen format, its PDF suffix ("" but for PDF) and the chosen sheet choice, as the
    // option buttons show them.
    OutputFormats::Format outFmtIndex() const;
    QString pdfSuffix() const;
    SheetChoice sheetSelType() const;

    // The dialog's state, read and written by the save run and the dialogs it opens.
    SaveState state;
    FmtLists fmtLists;
    QHash<QString, QString> currentFmts;
    DestDirTable ocDestDir;
    // The new-directory dialog's results.
    QString s_DirSpec;
    bool b_CreateDir = false;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool onSurface(const QMouseEvent *event) const;

private:
    void buildControls();
    void buildOutputFormatFrame();
    void buildFilenameFormatFrame();
    void buildDirectoryControls();
    void buildSheetFrame();
    void layOut();
    void connectControls();
    void buildMenus();
    void setToolTips();
    void load();
    void restoreChoices();

    void isEditFmtClicked();
    bool optionKey(QObject *watched, const QKeyEvent *event);
    void formatKeyDown(int key);
    void formatFocusLost();
    void manageDestinations();
    // The preview line for the choices as they stand.
    void updatePreview();
    void dirSelMousePressed(Qt::MouseButton button, const QPoint &position);
    void goClicked();

    // The choices as the controls show them.
    RunChoices runChoices() const;
    QRadioButton *saveSheetTypeButton(SheetChoice choice) const;

    std::shared_ptr<CadApplication> app;
    bool isLoaded = false;

    QGroupBox *outFmtFrame = nullptr;
    QList<QRadioButton *> outFmt;
    QButtonGroup *outFmtGroup = nullptr;
    QCheckBox *pdfSingleFile = nullptr;
    QGroupBox *filenameFmtFrame = nullptr;
    QComboBox *filenameFmt = nullptr;
    QCheckBox *isEditFmt = nullptr;
    ElidedLabel *namePreview = nullptr;
    QLabel *directoryLabel = nullptr;
    DriveList *drvSel = nullptr;
    DirList *dirSel = nullptr;
    QCheckBox *useDestDirs = nullptr;
    QGroupBox *frmSheetSelection = nullptr;
    QList<QRadioButton *> saveSheetType;
    QButtonGroup *saveSheetTypeGroup = nullptr;
    QListWidget *listSheets = nullptr;
    QPushButton *allSheetSel = nullptr;
    QPushButton *clrSheetSel = nullptr;
    QCheckBox *displayDiags = nullptr;
    QPushButton *go = nullptr;
    QPushButton *cancel = nullptr;
    QMenu *mnuDirCreatePopup = nullptr;
    QMenu *mnuHelp = nullptr;
};
