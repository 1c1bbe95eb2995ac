#pragma once

#include <QLabel>

class QFontMetrics;

// A path line that does not fit its room: the part before nameFrom (the directory, and any
// heading before it) gives way first, cut in its middle, so the file name from nameFrom on shows
// whole whenever it fits alone. A name wider than the room is cut in its middle; a line without
// a name (nameFrom < 0) loses its middle.
QString elidePath(const QString &text, qsizetype nameFrom, int room, const QFontMetrics &metrics);

// A one-line label for a path line that may not fit, elided by elidePath; the whole text is the
// tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // nameFrom: where the file name begins in text, or -1 when it names none.
    void setFullText(const QString &text, qsizetype nameFrom = -1);
    QString fullText() const { return full; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString full;
    qsizetype nameFrom = -1;
};
