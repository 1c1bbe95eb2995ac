#pragma once

#include <QList>
#include <QSize>
#include <QStringList>
#include <QTabBar>

// The sheets of a drawing as tabs. A drawing may have a thousand sheets, and the tab bar lays out
// every tab again for each tab added, so the size a tab needs is worked out once and kept.
class SheetTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit SheetTabBar(QWidget *parent = nullptr);

    // Replaces the tabs; current is the index of the tab to show as chosen. Emits nothing.
    void setSheets(const QStringList &names, int current);
    QStringList sheets() const { return names; }

    // The keyboard's context menu opens at the current tab.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    QSize tabSizeHint(int index) const override;
    void changeEvent(QEvent *event) override;

private:
    QStringList names;
    mutable QList<QSize> sizes;
};
