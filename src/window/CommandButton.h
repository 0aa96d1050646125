#pragma once

#include <QPushButton>

// A push button that clicks from the keyboard while it has the focus, by
// Space (as every QPushButton) and by Enter, as buttons do on the desktops
// the window was designed for. No button is ever the window's default: Enter
// in a text box still presses nothing.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CommandButton(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
