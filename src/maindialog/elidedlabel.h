#pragma once

#include <QLabel>

class QFontMetrics;

// A path line that does not fit its room: the directory, from dirFrom to nameFrom, gives way
// first, cut in its middle, so the heading before it and the file name from nameFrom on stay
// whole; with no room for the heading the name is shown after what is left of the line's
// beginning, and a name wider than the room is cut in its middle. A line without a name
// (nameFrom < 0) loses its middle.
QString elidePath(const QString &text, qsizetype dirFrom, qsizetype nameFrom, int room,
    const QFontMetrics &metrics);

// A one-line label for a path line that may not fit, elided by elidePath; the whole text is the
// tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // dirFrom and nameFrom: where the directory and the file name begin in text; -1 when it
    // names none.
    void setFullText(const QString &text, qsizetype dirFrom = -1, qsizetype nameFrom = -1);
    QString fullText() const { return full; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString full;
    qsizetype dirFrom = -1;
    qsizetype nameFrom = -1;
};
