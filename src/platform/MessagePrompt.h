#pragma once

#include <QString>

namespace lumaro {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { Information, Warning };
enum class MsgAnswer { Ok, Yes, No };

// A modal message: prompt, buttons, icon and title in, the pressed button out.
class MessagePrompt
{
public:
    virtual ~MessagePrompt() = default;
    virtual MsgAnswer show(const QString &prompt, MsgButtons buttons, MsgIcon icon, const QString &title) = 0;
};

} // namespace lumaro
