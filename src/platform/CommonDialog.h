#pragma once

#include <QString>
#include <cstdint>

// The one dialog object of the window: open, save and colour dialogs with
// settings that the window definition stores once and every caller shares.
// Each Show* call is modal; the caller then reads FileName() or Color().
class CommonDialog
{
public:
    virtual ~CommonDialog() = default;

    // Stored settings, written by the window definition.
    QString DefaultExt;
    QString DialogTitle;
    QString Filter;

    virtual void ShowOpen() = 0;
    virtual void ShowSave() = 0;
    virtual void ShowColor() = 0;

    // The chosen path after ShowOpen/ShowSave; empty after a cancelled dialog.
    QString FileName() const { return m_fileName; }
    // The last accepted colour as 0x00BBGGRR; 0 (black) until one is accepted.
    std::uint32_t Color() const { return m_color; }

protected:
    QString m_fileName;
    std::uint32_t m_color = 0;
};
