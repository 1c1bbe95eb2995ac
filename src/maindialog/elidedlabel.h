#pragma once

#include <QLabel>

// A one-line label for a text that may not fit, such as a path: what does not fit is cut from
// the middle, so its beginning and end stay readable, and the whole text is the tool tip.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return full; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString full;
};
