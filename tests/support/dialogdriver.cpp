#include "dialogdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

void whileModal(const char *objectName, std::function<void(QWidget &)> steps)
{
    QTimer::singleShot(0, [name = QString::fromLatin1(objectName), steps = std::move(steps)] {
        QWidget *window = QApplication::activeModalWidget();
        ASSERT_TRUE(window && window->objectName() == name) << name.toStdString();
        steps(*window);
    });
}

void press(QWidget &window, const char *name)
{
    auto *button = window.findChild<QAbstractButton *>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

RecordedMessages::RecordedMessages()
    : saved(MsgBox::setPresenter([this](const MsgBox::Message &message) {
        shown.append(message);
        return int(MsgBox::Ok);
    }))
{
}

RecordedMessages::~RecordedMessages()
{
    MsgBox::setPresenter(saved);
}

QStringList RecordedMessages::texts() const
{
    QStringList result;
    for (const MsgBox::Message &message : shown)
        result.append(message.title + QLatin1Char('|') + message.text);
    return result;
}
