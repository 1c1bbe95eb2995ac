#include "elidedlabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

QString elidePath(const QString &text, qsizetype nameFrom, int room, const QFontMetrics &metrics)
{
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    if (nameFrom < 0 || nameFrom > text.size())
        return metrics.elidedText(text, Qt::ElideMiddle, room);
    const QString name = text.mid(nameFrom);
    const int nameWidth = metrics.horizontalAdvance(name);
    if (nameWidth > room)
        return metrics.elidedText(name, Qt::ElideMiddle, room);
    // The pieces measured apart may come out a pixel wider together.
    QString shown;
    for (int headRoom = room - nameWidth; headRoom >= 0; --headRoom) {
        shown = metrics.elidedText(text.left(nameFrom), Qt::ElideMiddle, headRoom) + name;
        if (metrics.horizontalAdvance(shown) <= room)
            break;
    }
    return shown;
}

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // The width comes from the layout; the text adapts to it, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setFullText(const QString &text, qsizetype from)
{
    full = text;
    nameFrom = from;
    setToolTip(text);
    elide();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide()
{
    setText(elidePath(full, nameFrom, contentsRect().width(), fontMetrics()));
}
