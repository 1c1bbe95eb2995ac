#include "sheettabbar.h"

#include <QEvent>
#include <QSignalBlocker>

SheetTabBar::SheetTabBar(QWidget *parent)
    : QTabBar(parent)
{
    setObjectName(QStringLiteral("sheetTabs"));
    setShape(QTabBar::RoundedSouth);
    setExpanding(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideNone);
    setDocumentMode(true);
}

void SheetTabBar::setSheets(const QStringList &sheetNames, int current)
{
    const QSignalBlocker blocker(this);
    if (sheetNames != names) {
        while (count() > 0)
            removeTab(count() - 1);
        sizes.clear();
        names = sheetNames;
        // A "&" in a sheet name is text, not a shortcut.
        for (const QString &name : names)
            addTab(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    setCurrentIndex(current);
}

QVariant SheetTabBar::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle && currentIndex() >= 0)
        return tabRect(currentIndex());
    return QTabBar::inputMethodQuery(query);
}

QSize SheetTabBar::tabSizeHint(int index) const
{
    if (index >= sizes.size())
        sizes.resize(count());
    if (!sizes.at(index).isValid())
        sizes[index] = QTabBar::tabSizeHint(index);
    return sizes.at(index);
}

void SheetTabBar::changeEvent(QEvent *event)
{
    // Another font or style makes every tab another size.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        sizes.clear();
    QTabBar::changeEvent(event);
}
