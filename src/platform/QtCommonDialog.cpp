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

void prepare(QFileDialog &dialog, const CommonDialog &settings)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(settings.DialogTitle);
    dialog.setNameFilters(nameFiltersFromFilterText(settings.Filter));
    dialog.setDefaultSuffix(settings.DefaultExt);
}

} // namespace

void QtCommonDialog::ShowOpen()
{
    QFileDialog dialog(m_parent);
    prepare(dialog, *this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // A cancelled dialog must never leave an earlier name behind.
    m_fileName.clear();
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_fileName = dialog.selectedFiles().constFirst();
}

void QtCommonDialog::ShowSave()
{
    QFileDialog dialog(m_parent);
    prepare(dialog, *this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    m_fileName.clear();
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_fileName = dialog.selectedFiles().constFirst();
}

void QtCommonDialog::ShowColor()
{
    QColorDialog dialog(colorFromColorRef(m_color), m_parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    // A cancelled dialog keeps the last accepted colour.
    if (dialog.exec() == QDialog::Accepted)
        m_color = colorRefFromColor(dialog.selectedColor());
}
