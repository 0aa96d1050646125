#pragma once

#include "platform/CommonDialog.h"

#include <QStringList>

namespace lumaro {

// The open, save and colour dialogs over the active window. On Windows they
// are the system's own common dialogs, with the places a Windows user
// knows; elsewhere Qt's own, so that they read in Chinese whatever the
// desktop.
class QtCommonDialog final : public CommonDialog
{
public:
    QString open(const DialogSettings &settings) override;
    QString save(const DialogSettings &settings) override;
    std::optional<std::uint32_t> color(std::uint32_t current) override;
};

// The stored filter text names extensions separated by commas ("jpg,bmp,png");
// this turns it into the dialog's file types: one entry for all of them, then
// "all files".
QStringList nameFiltersFromFilterText(const QString &filter);

} // namespace lumaro
