#pragma once

#include "platform/CommonDialog.h"

#include <cstdint>

namespace lumaro {

// The window's one dialog object, Dialog: the settings that the window
// definition stores once and the open and save dialogs share, the file name
// each of them leaves (empty after a cancelled one), and the colour value,
// which keeps the last colour accepted (black before any) when the colour
// dialog is cancelled. Each Show* is modal.
class DialogControl
{
public:
    explicit DialogControl(CommonDialog &dialogs) : m_dialogs(dialogs) {}

    DialogSettings settings; // default extension, title, filter text

    void ShowOpen() { m_fileName = m_dialogs.open(settings); }
    void ShowSave() { m_fileName = m_dialogs.save(settings); }
    void ShowColor()
    {
        if (const auto chosen = m_dialogs.color(m_color))
            m_color = *chosen;
    }

    QString FileName() const { return m_fileName; }
    std::uint32_t Color() const { return m_color; }

private:
    CommonDialog &m_dialogs;
    QString m_fileName;
    std::uint32_t m_color = 0;
};

} // namespace lumaro
