#include "addinsdialog.h"

#include "workbench/addinmanager.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { NameColumn, FileColumn, StatusColumn };

QString statusText(const AddInPlugin &plugin)
{
    if (!plugin.error.isEmpty())
        return plugin.error;
    return plugin.connected ? QStringLiteral("connected") : QString();
}

} // namespace

AddInsDialog::AddInsDialog(AddInManager &manager, QWidget *parent)
    : QDialog(parent)
    , manager(manager)
    , list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("addInsDialog"));
    setWindowTitle(QStringLiteral("Add-Ins"));
    list->setObjectName(QStringLiteral("addIns"));
    list->setHeaderLabels(
        { QStringLiteral("Add-in"), QStringLiteral("File"), QStringLiteral("Status") });
    list->setRootIsDecorated(false);
    list->header()->setStretchLastSection(true);
    auto *hint = new QLabel(manager.plugins().isEmpty()
            ? QStringLiteral("No add-in was found beside the workbench or in its add-in directory.")
            : QStringLiteral("Add-ins found beside the workbench and in its add-in directory. Tick "
                             "one to connect it."),
        this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(640, 280);

    fill();
    connect(list, &QTreeWidget::itemChanged, this, &AddInsDialog::toggled);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
}

void AddInsDialog::fill()
{
    const QSignalBlocker blocker(list);
    list->clear();
    for (const AddInPlugin &plugin : manager.plugins()) {
        auto *item
            = new QTreeWidgetItem(list, { plugin.name, plugin.fileName, statusText(plugin) });
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, plugin.connected ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(NameColumn, plugin.description);
        item->setToolTip(StatusColumn, statusText(plugin));
    }
    for (int column : { NameColumn, FileColumn })
        list->resizeColumnToContents(column);
}

void AddInsDialog::toggled(QTreeWidgetItem *item)
{
    manager.setConnected(
        list->indexOfTopLevelItem(item), item->checkState(NameColumn) == Qt::Checked);
    // The check box shows what happened, not what was asked for.
    fill();
}
