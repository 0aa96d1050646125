#include "window/CommandButton.h"

#include <QKeyEvent>

CommandButton::CommandButton(QWidget *parent)
    : QPushButton(parent)
{
    setAutoDefault(false);
    setDefault(false);
}

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}
