#include "platform/QtCommonDialog.h"

#include "window/units.h"

#include <QColorDialog>
#include <QFileDialog>

using namespace Qt::StringLiterals;

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
QString chooseFile(QWidget *parent, const CommonDialog &settings, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(settings.DialogTitle);
    dialog.setNameFilters(nameFiltersFromFilterText(settings.Filter));
    dialog.setDefaultSuffix(settings.DefaultExt);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().constFirst();
    return {};
}

} // namespace

void QtCommonDialog::ShowOpen()
{
    m_fileName = chooseFile(m_parent, *this, QFileDialog::AcceptOpen);
}

void QtCommonDialog::ShowSave()
{
    m_fileName = chooseFile(m_parent, *this, QFileDialog::AcceptSave);
}

void QtCommonDialog::ShowColor()
{
    QColorDialog dialog(colorFromColorRef(m_color), m_parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    // A cancelled dialog keeps the last accepted colour.
    if (dialog.exec() == QDialog::Accepted)
        m_color = colorRefFromColor(dialog.selectedColor());
}
