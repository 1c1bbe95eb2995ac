#include "elidedlabel.h"

#include <QCursor>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QToolTip>
#include <algorithm>

namespace {

// head, then as much of middle as fits, cut in its middle, then tail, for a room that holds head
// and tail. The pieces measured apart may come out a pixel wider together.
QString cutMiddle(const QString &head, const QString &middle, const QString &tail, int room,
    const QFontMetrics &metrics)
{
    const int kept = metrics.horizontalAdvance(head + tail);
    for (int middleRoom = room - kept; middleRoom >= 0; --middleRoom) {
        const QString shown = head + metrics.elidedText(middle, Qt::ElideMiddle, middleRoom) + tail;
        if (metrics.horizontalAdvance(shown) <= room)
            return shown;
    }
    return {};
}

} // namespace

QString elidePath(const QString &text, qsizetype dirFrom, qsizetype nameFrom, int room,
    const QFontMetrics &metrics)
{
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    if (nameFrom < 0 || nameFrom > text.size())
        return metrics.elidedText(text, Qt::ElideMiddle, room);
    const QString name = text.mid(nameFrom);
    const qsizetype headingSize = std::clamp<qsizetype>(dirFrom, 0, nameFrom);
    const QString heading = text.left(headingSize);
    const QString directory = text.mid(headingSize, nameFrom - headingSize);
    // The heading stays while there is room for it, the name and an ellipsis for the directory.
    if (metrics.horizontalAdvance(heading + QChar(0x2026) + name) <= room)
        return cutMiddle(heading, directory, name, room, metrics);
    if (metrics.horizontalAdvance(name) <= room)
        return cutMiddle(QString(), heading + directory, name, room, metrics);
    return metrics.elidedText(name, Qt::ElideMiddle, room);
}

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // The width comes from the layout; the text adapts to it, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setFullText(const QString &text, qsizetype directory, qsizetype name)
{
    const QString before = full;
    full = text;
    dirFrom = directory;
    nameFrom = name;
    setToolTip(text);
    elide();
    // The toolkit gives a tip its text only as it opens: a tip open over the line, as when the
    // pointer rests on it while Return is typed in the format box, would go on showing the old
    // path.
    if (text != before && QToolTip::isVisible() && QToolTip::text() == before)
        QToolTip::showText(QCursor::pos(), text, this);
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
    setText(elidePath(full, dirFrom, nameFrom, contentsRect().width(), fontMetrics()));
}
