#pragma once

#include <QDialog>

// The main dialog: output format, filename format, directories and sheets for the active drawing.
class usrForm : public QDialog {
    Q_OBJECT

public:
    explicit usrForm(QWidget *parent = nullptr);

    // False when the dialog closed itself while loading; it is then not shown.
    bool loaded() const { return isLoaded; }

private:
    bool isLoaded = true;
};
