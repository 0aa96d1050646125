#pragma once

#include "platform/MessagePrompt.h"

namespace lumaro {

// QMessageBox over the active window, its text always plain.
class QtMessagePrompt final : public MessagePrompt
{
public:
    MsgAnswer show(const QString &prompt, MsgButtons buttons, MsgIcon icon, const QString &title) override;
};

} // namespace lumaro
