#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace lumaro {

// What the open and save dialogs show: the settings the window's dialog
// object stores once and every caller shares.
struct DialogSettings
{
    QString defaultExt;
    QString title;
    QString filter; // extensions separated by commas: "jpg,bmp,png"
};

// The open, save and colour dialogs. Each is modal and returns what the
// person chose.
class CommonDialog
{
public:
    virtual ~CommonDialog() = default;
    // The chosen path; empty when the dialog was cancelled.
    virtual QString open(const DialogSettings &settings) = 0;
    virtual QString save(const DialogSettings &settings) = 0;
    // The chosen colour as 0x00BBGGRR, the dialog starting at `current`;
    // nothing when it was cancelled.
    virtual std::optional<std::uint32_t> color(std::uint32_t current) = 0;
};

} // namespace lumaro
