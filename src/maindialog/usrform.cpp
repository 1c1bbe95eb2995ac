#include "usrform.h"

#include "addin/errortext.h"
#include "addin/quilletmain.h"
#include "destdirs/managedestdir.h"
#include "dirdialogs/createdirform.h"
#include "dirdialogs/dirlist.h"
#include "dirdialogs/drivelist.h"
#include "elidedlabel.h"
#include "formats/fmtfile.h"
#include "formats/formatediting.h"
#include "loghelp/helpabout.h"
#include "loghelp/logform.h"
#include "loghelp/menukeys.h"
#include "loghelp/messagewindow.h"
#include "maindialog/gocommand.h"
#include "maindialog/pdfoption.h"
#include "maindialog/refreshrules.h"
#include "maindialog/storedchoices.h"
#include "platform/moduleinfo.h"
#include "platform/msgbox.h"
#include "platform/quilleterror.h"
#include "platform/settingsstore.h"
#include "save/namepreview.h"
#include "save/runpreparation.h"
#include "save/saverun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString arrayName(const char *name, int index)
{
    return QString::fromLatin1(name) + QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}

QFrame *shape(const char *name, QFrame::Shape kind, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(kind);
    line->setFrameShadow(QFrame::Sunken);
    // Decoration only: a click on it is a click on the dialog's surface.
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    return line;
}

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    // The items are the dialog's own, as its controls are.
    action->setParent(menu->parentWidget());
    return action;
}

QAction *separator(QMenu *menu, const char *name)
{
    // A separator with a text is drawn with it; the line alone is wanted.
    QAction *action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    action->setParent(menu->parentWidget());
    return action;
}

// The button an arrow key moves to: the next or previous one of the group that can be chosen, in
// the group's order, wrapping at its ends.
QAbstractButton *neighbour(const QButtonGroup &group, QAbstractButton *from, int step)
{
    const QList<QAbstractButton *> buttons = group.buttons();
    const qsizetype count = buttons.size();
    const qsizetype at = buttons.indexOf(from);
    for (qsizetype tried = 1; at >= 0 && tried < count; ++tried) {
        QAbstractButton *candidate = buttons.at(((at + step * tried) % count + count) % count);
        if (candidate->isEnabled() && candidate->isVisible())
            return candidate;
    }
    return nullptr;
}

// Tab comes into a group of options at its chosen one: only that one takes the focus by Tab. The
// toolkit does so only once an option was clicked, not when the dialog chooses one itself.
void tabIntoChosen(const QButtonGroup &group)
{
    for (QAbstractButton *button : group.buttons()) {
        button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

} // namespace

usrForm::usrForm(std::shared_ptr<CadApplication> app, QWidget *parent)
    : QDialog(parent)
    , app(std::move(app))
{
    setObjectName(QStringLiteral("usrForm"));
    buildControls();
    buildMenus();
    setToolTips();
    load();
}

usrForm::~usrForm() = default;

void usrForm::buildControls()
{
    buildOutputFormatFrame();
    buildFilenameFormatFrame();
    buildDirectoryControls();
    buildSheetFrame();
    displayDiags = new QCheckBox(QStringLiteral("&Display Output Log"), this);
    displayDiags->setObjectName(QStringLiteral("displayDiags"));
    go = new QPushButton(QStringLiteral("&GO!"), this);
    go->setObjectName(QStringLiteral("go"));
    go->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    layOut();
    connectControls();
}

void usrForm::buildOutputFormatFrame()
{
    outFmtFrame = new QGroupBox(QStringLiteral("Output Format"), this);
    outFmtFrame->setObjectName(QStringLiteral("outFmtFrame"));
    outFmtGroup = new QButtonGroup(this);
    auto *formats = new QGridLayout(outFmtFrame);
    // The load gives each button its format's caption.
    for (int i = 0; i < OutputFormats::count; ++i) {
        auto *button = new QRadioButton(outFmtFrame);
        button->setObjectName(arrayName("outFmt", i));
        outFmtGroup->addButton(button, i);
        button->installEventFilter(this);
        outFmt.append(button);
        formats->addWidget(button, i / 3, i % 3);
    }
    pdfSingleFile = new QCheckBox(QStringLiteral("&Single File"), outFmtFrame);
    pdfSingleFile->setObjectName(QStringLiteral("pdfSingleFile"));
    formats->addWidget(pdfSingleFile, 2, 1, 1, 2);
}

void usrForm::buildFilenameFormatFrame()
{
    filenameFmtFrame = new QGroupBox(QStringLiteral("Output Filename Format"), this);
    filenameFmtFrame->setObjectName(QStringLiteral("filenameFmtFrame"));
    filenameFmt = new QComboBox(filenameFmtFrame);
    filenameFmt->setObjectName(QStringLiteral("filenameFmt"));
    filenameFmt->setEditable(true);
    // Return collects the text itself; the box must not add it a second time.
    filenameFmt->setInsertPolicy(QComboBox::NoInsert);
    // The box's own completer would finish a typed format with a longer collected one, which
    // Return, Tab or GO! then take in place of what the user typed; the list offers them instead.
    filenameFmt->setCompleter(nullptr);
    filenameFmt->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    filenameFmt->setMinimumContentsLength(32);
    filenameFmt->installEventFilter(this);
    filenameFmt->lineEdit()->installEventFilter(this);
    isEditFmt = new QCheckBox(QStringLiteral("&Edit"), filenameFmtFrame);
    isEditFmt->setObjectName(QStringLiteral("isEditFmt"));
    namePreview = new ElidedLabel(filenameFmtFrame);
    namePreview->setObjectName(QStringLiteral("namePreview"));
    auto *formatRows = new QGridLayout(filenameFmtFrame);
    formatRows->addWidget(filenameFmt, 0, 0);
    formatRows->addWidget(isEditFmt, 0, 1);
    formatRows->addWidget(namePreview, 1, 0, 1, 2);
    formatRows->setColumnStretch(0, 1);
}

void usrForm::buildDirectoryControls()
{
    directoryLabel = new QLabel(QStringLiteral("&Output Base Directory"), this);
    drvSel = new DriveList(this);
    drvSel->setObjectName(QStringLiteral("drvSel"));
    dirSel = new DirList(this);
    dirSel->setObjectName(QStringLiteral("dirSel"));
    directoryLabel->setBuddy(dirSel);
    useDestDirs = new QCheckBox(QStringLiteral("&Use File Destination Directories"), this);
    useDestDirs->setObjectName(QStringLiteral("useDestDirs"));
}

void usrForm::buildSheetFrame()
{
    frmSheetSelection = new QGroupBox(QStringLiteral("Select Sheets to Save"), this);
    frmSheetSelection->setObjectName(QStringLiteral("frmSheetSelection"));
    saveSheetTypeGroup = new QButtonGroup(this);
    auto *sheets = new QVBoxLayout(frmSheetSelection);
    const QStringList choices { QStringLiteral("Curre&nt Sheet"), QStringLiteral("&All Sheets"),
        QStringLiteral("Selec&ted Sheets") };
    for (int i = 0; i < choices.size(); ++i) {
        auto *button = new QRadioButton(choices.at(i), frmSheetSelection);
        button->setObjectName(arrayName("saveSheetType", i));
        saveSheetTypeGroup->addButton(button, i);
        button->installEventFilter(this);
        saveSheetType.append(button);
        sheets->addWidget(button);
    }
    listSheets = new QListWidget(frmSheetSelection);
    listSheets->setObjectName(QStringLiteral("listSheets"));
    listSheets->setSelectionMode(QAbstractItemView::MultiSelection);
    listSheets->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listSheets->setUniformItemSizes(true);
    sheets->addWidget(listSheets, 1);
    allSheetSel = new QPushButton(QStringLiteral("Select A&ll"), frmSheetSelection);
    allSheetSel->setObjectName(QStringLiteral("allSheetSel"));
    clrSheetSel = new QPushButton(QStringLiteral("&Clear All"), frmSheetSelection);
    clrSheetSel->setObjectName(QStringLiteral("clrSheetSel"));
    for (QPushButton *button : { allSheetSel, clrSheetSel })
        button->setAutoDefault(false);
    auto *selectionButtons = new QHBoxLayout;
    selectionButtons->addWidget(allSheetSel);
    selectionButtons->addWidget(clrSheetSel);
    sheets->addLayout(selectionButtons);
}

void usrForm::layOut()
{
    auto *left = new QVBoxLayout;
    left->addWidget(outFmtFrame);
    left->addWidget(filenameFmtFrame);
    left->addWidget(shape("Shape3", QFrame::HLine, this));
    left->addWidget(directoryLabel);
    left->addWidget(drvSel);
    left->addWidget(dirSel, 1);
    left->addWidget(useDestDirs);
    auto *right = new QVBoxLayout;
    right->addWidget(frmSheetSelection, 1);
    right->addWidget(displayDiags);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addWidget(shape("Shape1", QFrame::VLine, this));
    columns->addLayout(right, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(go);
    buttons->addWidget(cancel);
    auto *page = new QVBoxLayout(this);
    page->addLayout(columns, 1);
    page->addWidget(shape("Shape2", QFrame::HLine, this));
    page->addLayout(buttons);
    resize(760, 540);
}

void usrForm::connectControls()
{
    // Every handler of a user action is guarded: a failure it does not handle itself is shown,
    // never passed on to the host's event loop.
    // The format, its PDF option and the sheet choice are read from their controls; a click
    // only refreshes what follows from them.
    connect(outFmtGroup, &QButtonGroup::idClicked, this, guarded([this] { refreshControls(); }));
    connect(pdfSingleFile, &QCheckBox::clicked, this, guarded([this] { refreshControls(); }));
    connect(
        saveSheetTypeGroup, &QButtonGroup::idClicked, this, guarded([this] { refreshControls(); }));
    connect(isEditFmt, &QCheckBox::clicked, this, guarded([this] { isEditFmtClicked(); }));
    connect(listSheets, &QListWidget::itemSelectionChanged, this,
        guarded([this] { refreshControls(); }));
    connect(allSheetSel, &QPushButton::clicked, listSheets, &QListWidget::selectAll);
    connect(clrSheetSel, &QPushButton::clicked, listSheets, &QListWidget::clearSelection);
    connect(useDestDirs, &QCheckBox::clicked, this, guarded([this] { refreshControls(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(go, &QPushButton::clicked, this, guarded([this] { goClicked(); }));
    connect(filenameFmt, &QComboBox::editTextChanged, this, guarded([this] { updatePreview(); }));
    connect(dirSel, &DirList::pathChanged, this, guarded([this] { updatePreview(); }));
    followDrives(*dirSel, *drvSel);
    connect(dirSel, &DirList::mousePressed, this,
        guarded([this](Qt::MouseButton button, Qt::MouseButtons, const QPoint &position) {
            dirSelMousePressed(button, position);
        }));
}

void usrForm::buildMenus()
{
    // Shown only as pop-ups, never in a menu bar.
    mnuDirCreatePopup = new QMenu(QStringLiteral("dirCreateMnu"), this);
    mnuDirCreatePopup->setObjectName(QStringLiteral("mnuDirCreatePopup"));
    connect(
        menuItem(mnuDirCreatePopup, "mnuDirCreate", QStringLiteral("Create new directory here...")),
        &QAction::triggered, this,
        guarded([this] { createDirectoryHere(*dirSel, *drvSel, s_DirSpec, b_CreateDir); }));
    separator(mnuDirCreatePopup, "mnuSeperator1");
    connect(menuItem(mnuDirCreatePopup, "mnuDestDir",
                QStringLiteral("Manage file destination directories...")),
        &QAction::triggered, this, guarded([this] { manageDestinations(); }));

    mnuHelp = new QMenu(QStringLiteral("helpMnu"), this);
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(menuItem(mnuHelp, "mnuAbout", QStringLiteral("About Quillet")), &QAction::triggered,
        this, guarded([] { showAboutBox(); }));
    separator(mnuHelp, "mnuSeperator2");
    connect(menuItem(mnuHelp, "mnuShowHelp", QStringLiteral("Show User Manual")),
        &QAction::triggered, this, guarded([] { showUserManual(moduleDirectory()); }));
}

void usrForm::setToolTips()
{
    filenameFmt->setToolTip(
        QStringLiteral("Type in Filename Format (\"Return\" to save, \"Delete\" to remove)"));
    dirSel->setToolTip(QStringLiteral("Right-Click for more options..."));
    useDestDirs->setToolTip(QStringLiteral(
        "Right-Click on directories window to manage file destination directories..."));
}

void usrForm::load()
{
    // Steps that must succeed: without a drawing there is nothing to save.
    try {
        state = openActiveDrawing(app);
        listSheets->addItems(state.docSheetNames.mid(0, state.docSheetCount));
        fmtLists = FmtLists::withStandardKeys();
        // The extensions stay in the format table, where the run and the keys read them.
        for (int i = 0; i < OutputFormats::count; ++i)
            outFmt.at(i)->setText(OutputFormats::caption(i));
        loadFmtFile(fmtLists);
    } catch (const QuilletError &error) {
        MsgBox::show(ErrorText::loadFailure(error), MsgBox::Icon::Exclamation, ErrorText::title());
        return;
    }
    restoreChoices();
    setWindowTitle(Quilletmain::productAndVersion()
        + QStringLiteral(" [Select Output Format and Destination Directory]"));
    isEditFmt->setChecked(false);
    isEditFmtClicked();
    isLoaded = true;
}

// From here on the load cannot fail: a value that does not fit leaves the control as preset.
void usrForm::restoreChoices()
{
    // The factory choices first, then what the store holds.
    const RunChoices factory;
    dirSel->setPath(factory.baseDir);
    outFmt.at(factory.outFmtIndex)->setChecked(true);
    saveSheetTypeButton(factory.sheetSelType)->setChecked(true);
    displayDiags->setChecked(factory.displayDiags);
    filenameFmt->setEditText(factory.filenameFmt);

    const StoredChoices stored = StoredChoices::read(userSettings());
    dirSel->setPath(stored.run.baseDir);
    // Neither the stored directory nor C: can be opened (a drive map without C:): the first drive
    // that opens gives the user a list to choose from.
    for (int i = 0; dirSel->path().isEmpty() && i < drvSel->count(); ++i)
        dirSel->setPath(DirList::currentDirectoryOf(drvSel->itemData(i).toString()));
    drvSel->setDrive(dirSel->path());
    outFmt.at(stored.run.outFmtIndex)->setChecked(true);
    refreshControls();
    displayDiags->setChecked(stored.run.displayDiags);
    currentFmts = stored.currentFmts;
    ocDestDir = stored.run.ocDestDir;
    filenameFmt->setEditText(currentFmts.value(currentFormatListKey()));
    saveSheetTypeButton(stored.run.sheetSelType)->setChecked(true);
    refreshControls();
    if (useDestDirs->isChecked() != stored.run.useDestDirs) {
        useDestDirs->setChecked(stored.run.useDestDirs);
        refreshControls();
    }
    const bool singleFile = getPDFRegKey() == 1;
    if (pdfSingleFile->isChecked() != singleFile) {
        pdfSingleFile->setChecked(singleFile);
        refreshControls();
    }
}

OutputFormats::Format usrForm::outFmtIndex() const
{
    return OutputFormats::Format(std::max(outFmtGroup->checkedId(), 0));
}

QString usrForm::pdfSuffix() const
{
    return OutputFormats::pdfSuffix(outFmtIndex(), pdfSingleFile->isChecked());
}

SheetChoice usrForm::sheetSelType() const
{
    return SheetChoice(std::max(saveSheetTypeGroup->checkedId(), 0));
}

QString usrForm::currentFormatListKey() const
{
    return OutputFormats::formatListKey(outFmtIndex(), pdfSingleFile->isChecked());
}

QRadioButton *usrForm::saveSheetTypeButton(SheetChoice choice) const
{
    return saveSheetType.at(int(choice));
}

void usrForm::refreshControls()
{
    const ControlStates states = refreshRules(runChoices(), int(listSheets->count()));
    if (states.sheetSelType != sheetSelType()) {
        // Choosing "All Sheets" runs its own refresh, which finishes this one.
        saveSheetTypeButton(states.sheetSelType)->setChecked(true);
        refreshControls();
        return;
    }
    pdfSingleFile->setEnabled(states.pdfSingleFileEnabled);
    frmSheetSelection->setEnabled(states.sheetFrameEnabled);
    for (QRadioButton *button : std::as_const(saveSheetType))
        button->setEnabled(states.sheetFrameEnabled);
    listSheets->setEnabled(states.listSheetsEnabled);
    allSheetSel->setEnabled(states.allSheetSelEnabled);
    clrSheetSel->setEnabled(states.clrSheetSelEnabled);
    refillFmtList();
    go->setEnabled(states.goEnabled);
    findChild<QAction *>(QStringLiteral("mnuDestDir"))->setEnabled(states.mnuDestDirEnabled);
    tabIntoChosen(*outFmtGroup);
    tabIntoChosen(*saveSheetTypeGroup);
    updatePreview();
}

void usrForm::updatePreview()
{
    const NamePreview preview = ::namePreview(state, runChoices());
    namePreview->setFullText(preview.line, preview.dirFrom, preview.nameFrom);
}

void usrForm::refillFmtList()
{
    const QString key = currentFormatListKey();
    const QSignalBlocker blocker(filenameFmt);
    filenameFmt->clear();
    filenameFmt->addItems(fmtLists.list(key));
    filenameFmt->setEditText(currentFmts.value(key));
    filenameFmt->lineEdit()->setCursorPosition(filenameFmt->currentText().size());
}

void usrForm::isEditFmtClicked()
{
    const bool editing = isEditFmt->isChecked();
    filenameFmt->setEnabled(editing);
    // The window's own colour greys the box while it cannot be edited.
    QPalette palette = filenameFmt->palette();
    palette.setColor(
        QPalette::Base, this->palette().color(editing ? QPalette::Base : QPalette::Window));
    filenameFmt->setPalette(palette);
}

bool usrForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && optionKey(watched, static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == filenameFmt || watched == filenameFmt->lineEdit()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                formatKeyDown(key);
                // Return belongs to the box here; it must not press GO!.
                return true;
            }
            if (key == Qt::Key_Delete)
                formatKeyDown(key);
        } else if (event->type() == QEvent::FocusOut && watched == filenameFmt) {
            // Focus that goes to the box's own list or to another window comes back to the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                formatFocusLost();
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool usrForm::optionKey(QObject *watched, const QKeyEvent *event)
{
    // Arrow keys walk an option group in its order and choose the option they land on, as in
    // any group of option buttons; the toolkit's own walk follows the grid and stops at its
    // edges.
    int step = 0;
    if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Down)
        step = 1;
    else if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Up)
        step = -1;
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (step == 0 || !button || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QButtonGroup *group = button->group();
    if (group != outFmtGroup && group != saveSheetTypeGroup)
        return false;
    if (QAbstractButton *next = neighbour(*group, button, step)) {
        next->setFocus(Qt::TabFocusReason);
        next->click();
    }
    return true;
}

void usrForm::formatKeyDown(int key)
{
    const QString listKey = currentFormatListKey();
    if (key == Qt::Key_Delete) {
        fmtLists.remove(listKey, filenameFmt->currentText());
        filenameFmt->setEditText(QString());
    } else {
        collectFormat(fmtLists, listKey, filenameFmt->currentText());
    }
    refreshControls();
}

void usrForm::formatFocusLost()
{
    const QString key = currentFormatListKey();
    const QString text = filenameFmt->currentText();
    currentFmts.insert(key, text);
    collectFormat(fmtLists, key, text);
}

bool usrForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        if (go->isEnabled())
            go->setFocus(Qt::ActiveWindowFocusReason);
        else
            cancel->setFocus(Qt::ActiveWindowFocusReason);
    }
    return QDialog::event(event);
}

bool usrForm::onSurface(const QMouseEvent *event) const
{
    // Presses that a control ignores are passed up to the dialog; only those where no control
    // lies under the pointer are on its surface.
    return childAt(event->position().toPoint()) == nullptr;
}

void usrForm::mousePressEvent(QMouseEvent *event)
{
    // The right button alone: a click with another button held is no request for help.
    if (event->button() == Qt::RightButton && event->buttons() == Qt::RightButton
        && onSurface(event))
        mnuHelp->popup(event->globalPosition().toPoint());
    QDialog::mousePressEvent(event);
}

void usrForm::keyPressEvent(QKeyEvent *event)
{
    if (isContextMenuKey(*event))
        requestContextMenu(QApplication::focusWidget());
    else
        QDialog::keyPressEvent(event);
}

void usrForm::contextMenuEvent(QContextMenuEvent *event)
{
    // A right click on a control is no request for help; the mouse is handled at its press, on
    // the surface only. From the keyboard the request reaches here from a control without a
    // menu of its own: the directory list offers its commands, any other the dialog's.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QDialog::contextMenuEvent(event);
        return;
    }
    QWidget *focus = QApplication::focusWidget();
    if (focus && (focus == dirSel || dirSel->isAncestorOf(focus)))
        mnuDirCreatePopup->popup(event->globalPos());
    else
        mnuHelp->popup(event->globalPos());
}

void usrForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && onSurface(event))
        guarded([] { showAboutBox(); })();
    QDialog::mouseDoubleClickEvent(event);
}

void usrForm::manageDestinations()
{
    try {
        manageDestDir dialog(ocDestDir, dirSel->path(), s_DirSpec, b_CreateDir, this);
        dialog.exec();
    } catch (const QuilletError &error) {
        MsgBox::show(ErrorText::openFailure(error), MsgBox::Icon::Exclamation, ErrorText::title());
        return;
    }
    // Directories made at Done show in the list.
    dirSel->refresh();
    updatePreview();
}

void usrForm::dirSelMousePressed(Qt::MouseButton button, const QPoint &position)
{
    if (button == Qt::RightButton)
        mnuDirCreatePopup->popup(dirSel->mapToGlobal(position));
}

RunChoices usrForm::runChoices() const
{
    RunChoices choices;
    choices.outFmtIndex = outFmtIndex();
    choices.pdfSingleFile = pdfSingleFile->isChecked();
    choices.filenameFmt = filenameFmt->currentText();
    choices.sheetSelType = sheetSelType();
    for (int i = 0; i < listSheets->count(); ++i) {
        if (listSheets->item(i)->isSelected())
            choices.selectedSheets.append(listSheets->item(i)->text());
    }
    choices.useDestDirs = useDestDirs->isChecked();
    choices.ocDestDir = ocDestDir;
    choices.displayDiags = displayDiags->isChecked();
    choices.baseDir = dirSel->path();
    return choices;
}

void usrForm::goClicked()
{
    // The box's text is stored as its focus-lost step would: GO! pressed by its mnemonic does not
    // take the focus from the box, and focus that left through another window comes back without
    // a new focus-out.
    if (isEditFmt->isChecked())
        formatFocusLost();
    storeForGo(userSettings(), { runChoices(), currentFmts }, fmtLists);
    try {
        prepareRun(state, runChoices());
        // From here the dialog only shows the run; the next command opens a fresh one.
        drvSel->setEnabled(false);
        dirSel->setEnabled(false);
        isEditFmt->setEnabled(false);
        isEditFmt->setChecked(false);
        isEditFmtClicked();
        go->setEnabled(false);
        cancel->setEnabled(false);
        LogSurroundings surroundings(this);
        Quillet(state, surroundings);
    } catch (const QuilletError &error) {
        MsgBox::show(ErrorText::commandFailure(error, Quilletmain::curProcName),
            MsgBox::Icon::Exclamation, ErrorText::title());
        delete createDirForm::existing();
        logForm::unload();
        reject();
    }
}
