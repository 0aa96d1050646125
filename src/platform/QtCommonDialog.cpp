#include "platform/QtCommonDialog.h"

#include "common/ColorRef.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>

using namespace Qt::StringLiterals;

namespace lumaro {

QStringList nameFiltersFromFilterText(const QString &filter)
{
    QStringList patterns;
    for (const QString &part : filter.split(u',', Qt::SkipEmptyParts)) {
        QString ext = part.trimmed();
        if (ext.startsWith(u"*."))
            ext.remove(0, 2);
        else if (ext.startsWith(u'.'))
            ext.remove(0, 1);
        if (!ext.isEmpty())
            patterns << u"*."_s + ext;
    }
    QStringList filters;
    if (!patterns.isEmpty())
        filters << u"图片 (%1)"_s.arg(patterns.join(u' '));
    filters << u"所有文件 (*)"_s;
    return filters;
}

namespace {

// Runs an open or save dialog with the stored settings; the chosen path, or
// an empty one when cancelled, so that no earlier name is ever left behind.
QString chooseFile(const DialogSettings &settings, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(settings.title);
    dialog.setNameFilters(nameFiltersFromFilterText(settings.filter));
    dialog.setDefaultSuffix(settings.defaultExt);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().constFirst();
    return {};
}

} // namespace

QString QtCommonDialog::open(const DialogSettings &settings)
{
    return chooseFile(settings, QFileDialog::AcceptOpen);
}

QString QtCommonDialog::save(const DialogSettings &settings)
{
    return chooseFile(settings, QFileDialog::AcceptSave);
}

std::optional<std::uint32_t> QtCommonDialog::color(std::uint32_t current)
{
    QColorDialog dialog(colorFromColorRef(current), QApplication::activeWindow());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return colorRefFromColor(dialog.selectedColor());
}

} // namespace lumaro
