#pragma once

#include <QDialog>

class AddInManager;
class QTreeWidget;
class QTreeWidgetItem;

// Tools > Add-Ins...: every add-in found, with a check box that connects or disconnects it at
// once, and why one could not be loaded or connected.
class AddInsDialog : public QDialog {
    Q_OBJECT
public:
    AddInsDialog(AddInManager &manager, QWidget *parent = nullptr);

private:
    void fill();
    void toggled(QTreeWidgetItem *item);

    AddInManager &manager;
    QTreeWidget *list;
};
