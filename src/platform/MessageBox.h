#pragma once

#include <QString>

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { Information, Warning, Critical };
enum class MsgAnswer { Ok, Yes, No };

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Modal: returns the button the user pressed.
    virtual MsgAnswer show(const QString &prompt, MsgButtons buttons, MsgIcon icon,
                           const QString &title) = 0;
};
