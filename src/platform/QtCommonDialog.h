#pragma once

#include "platform/CommonDialog.h"

#include <QStringList>

namespace lumaro {

// Qt's own file and colour dialogs (not the desktop's native ones), so that
// they read in Chinese wherever the program runs, over the active window.
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
