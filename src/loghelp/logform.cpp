#include "logform.h"

#include "addin/quilletmain.h"
#include "loghelp/menukeys.h"
#include "save/outputlog.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

QPointer<logForm> logForm::window;

namespace {

// Every line is as high as one line and as wide as the widest, so the list lays out a run of
// thousands of lines without measuring each again at every refresh, and long lines still scroll.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QAbstractItemModel *model = index.model();
        const int rows = model->rowCount();
        if (rows < measuredRows) {
            measuredRows = 0;
            widest = 0;
        }
        for (; measuredRows < rows; ++measuredRows) {
            widest = qMax(widest,
                option.fontMetrics.horizontalAdvance(
                    model->index(measuredRows, 0).data().toString()));
        }
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int margins
            = size.width() - option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(widest + margins);
        return size;
    }

private:
    mutable int measuredRows = 0;
    mutable int widest = 0;
};

// While the main dialog exists the log window belongs to it, as a window of its own.
logForm *ownedBy(QWidget *mainDialog)
{
    logForm *log = logForm::instance();
    if (mainDialog && log->parentWidget() != mainDialog)
        log->setParent(mainDialog, log->windowFlags());
    return log;
}

} // namespace

logForm::logForm(QWidget *parent)
    : QDialog(parent)
    , log(new QListWidget(this))
    , progress(new QProgressBar(this))
    , done(new QPushButton(QStringLiteral("Done"), this))
{
    setObjectName(QStringLiteral("logForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Quilletmain::productAndVersion() + QStringLiteral(" [Output Log]"));

    log->setObjectName(QStringLiteral("log"));
    log->setToolTip(
        Quilletmain::productAndVersion() + QLatin1Char(' ') + Quilletmain::legalCopyright);
    // The user picks lines to copy them; the window itself never selects one.
    log->setSelectionMode(QAbstractItemView::ExtendedSelection);
    log->setUniformItemSizes(true);
    log->setItemDelegate(new LineDelegate(log));
    buildMenu();

    progress->setObjectName(QStringLiteral("progress"));
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    // Done takes the keyboard first, so no line looks picked when the window opens.
    done->setFocus();
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    // Done, Enter, Esc and the frame all finish the dialog.
    connect(this, &QDialog::finished, this, &logForm::retire);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(progress, 1);
    bottom->addWidget(done);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(log, 1);
    layout->addLayout(bottom);
    resize(640, 420);
    setProgress(0, 0);
}

logForm::~logForm()
{
    retire();
}

void logForm::buildMenu()
{
    mnuLog = new QMenu(this);
    mnuLog->setObjectName(QStringLiteral("mnuLog"));
    mnuCopy = mnuLog->addAction(QStringLiteral("&Copy"), this, &logForm::copySelectedLines);
    mnuCopy->setObjectName(QStringLiteral("mnuCopy"));
    mnuCopy->setShortcut(QKeySequence::Copy);
    QAction *selectAll
        = mnuLog->addAction(QStringLiteral("Select &All"), log, &QListWidget::selectAll);
    selectAll->setObjectName(QStringLiteral("mnuSelectAll"));
    selectAll->setShortcut(QKeySequence::SelectAll);
    for (QAction *action : { mnuCopy, selectAll }) {
        action->setShortcutVisibleInContextMenu(true);
        // The keys work wherever the focus is in the window, Done included.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    mnuCopy->setEnabled(false);
    connect(log, &QListWidget::itemSelectionChanged, this,
        [this] { mnuCopy->setEnabled(!log->selectedItems().isEmpty()); });
    log->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(log, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &position) { mnuLog->popup(log->viewport()->mapToGlobal(position)); });
}

void logForm::copySelectedLines()
{
    // In the order of the log, however they were picked.
    QStringList picked;
    for (int row = 0; row < log->count(); ++row) {
        if (log->item(row)->isSelected())
            picked.append(log->item(row)->text());
    }
    if (!picked.isEmpty())
        QGuiApplication::clipboard()->setText(picked.join(QLatin1Char('\n')));
}

void logForm::keyPressEvent(QKeyEvent *event)
{
    if (isContextMenuKey(*event))
        requestContextMenu(focusWidget());
    else
        QDialog::keyPressEvent(event);
}

void logForm::retire()
{
    // A window already retired may be destroyed later; the log belongs to its successor by then.
    if (window != this)
        return;
    window.clear();
    OutputLog::instance().clear();
}

logForm *logForm::instance()
{
    if (!window) {
        window = new logForm;
        window->refreshLines();
    }
    return window;
}

logForm *logForm::existing()
{
    return window;
}

void logForm::unload()
{
    delete window.data();
}

QStringList logForm::lines() const
{
    QStringList shown;
    shown.reserve(log->count());
    for (int row = 0; row < log->count(); ++row)
        shown.append(log->item(row)->text());
    return shown;
}

void logForm::refreshLines()
{
    const QStringList &all = OutputLog::instance().lines();
    // The log was started afresh behind the window's back: show it from its first line.
    if (log->count() > all.size())
        log->clear();
    if (log->count() < all.size()) {
        log->addItems(all.mid(log->count()));
        log->scrollToBottom();
    }
    repaint();
}

void logForm::setProgress(int sheetsDone, int sheets)
{
    // An empty range would turn the bar into a busy indicator.
    progress->setRange(0, qMax(sheets, 1));
    const int value = qMax(0, qMin(sheetsDone, sheets));
    progress->setValue(value);
    progress->setFormat(QStringLiteral("Sheets done: %1 of %2").arg(value).arg(sheets));
}

void logForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Lines appended while the window was hidden are shown with it.
    refreshLines();
}

LogSurroundings::LogSurroundings(QWidget *mainDialog)
    : mainDialog(mainDialog)
{
}

void LogSurroundings::appendLog(const QString &line)
{
    OutputLog::instance().append(line);
}

void LogSurroundings::refreshLog()
{
    logForm::instance()->refreshLines();
}

void LogSurroundings::showLogModeless()
{
    ownedBy(mainDialog)->show();
}

void LogSurroundings::hideLog()
{
    if (logForm *log = logForm::existing())
        log->hide();
}

void LogSurroundings::showLogModal()
{
    ownedBy(mainDialog)->exec();
}

void LogSurroundings::hideMainDialog()
{
    if (mainDialog)
        mainDialog->hide();
}

void LogSurroundings::showProgress(int sheetsDone, int sheets)
{
    logForm::instance()->setProgress(sheetsDone, sheets);
}
