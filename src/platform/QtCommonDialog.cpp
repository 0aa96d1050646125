#include "platform/QtCommonDialog.h"

#include "common/ColorRef.h"
#include "platform/DialogClose.h"
#include "platform/FreeMemory.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>

#ifdef Q_OS_WIN
#include <QDir>
#include <QWidget>

#include <string>

#include <windows.h>
#include <commdlg.h>
#endif

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

#ifdef Q_OS_WIN
// Windows' own open and save dialogs (GetOpenFileNameW, GetSaveFileNameW:
// on Windows 10/11 the current dialog, with Quick access and the recent
// folders). The filter pairs a text with its patterns, separated by ';'.
QString chooseFile(const DialogSettings &settings, bool save)
{
    QString filter;
    for (const QString &entry : nameFiltersFromFilterText(settings.filter)) {
        const qsizetype open = entry.lastIndexOf(u'(');
        QString patterns = entry.mid(open + 1).chopped(1);
        patterns.replace(u' ', u';');
        if (patterns == u"*")
            patterns = u"*.*"_s;
        filter += entry + QChar(0) + patterns + QChar(0);
    }
    filter += QChar(0);
    const std::wstring filterText = filter.toStdWString();
    const std::wstring title = settings.title.toStdWString();
    const std::wstring defaultExt = settings.defaultExt.toStdWString();
    std::wstring name(32768, L'\0');

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    if (QWidget *owner = QApplication::activeWindow())
        ofn.hwndOwner = reinterpret_cast<HWND>(owner->winId());
    ofn.lpstrFilter = filterText.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = DWORD(name.size());
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST
        | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)))
        return {};
    return QDir::fromNativeSeparators(QString::fromWCharArray(name.c_str()));
}
#else
// Runs an open or save dialog with the stored settings; the chosen path, or
// an empty one when cancelled, so that no earlier name is ever left behind.
QString chooseFile(const DialogSettings &settings, bool save)
{
    const QFileDialog::AcceptMode mode = save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen;
    const auto dialog = makeDialog<QFileDialog>(dialogOwner());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowTitle(settings.title);
    dialog->setNameFilters(nameFiltersFromFilterText(settings.filter));
    dialog->setDefaultSuffix(settings.defaultExt);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Qt 6.4's size grip asks a Wayland compositor to resize the window and
    // can crash doing so; the dialog's edges still resize it there.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        dialog->setSizeGripEnabled(false);
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    releaseMemoryLater();
    return accepted ? dialog->selectedFiles().constFirst() : QString();
}
#endif

} // namespace

QString QtCommonDialog::open(const DialogSettings &settings)
{
    return chooseFile(settings, false);
}

QString QtCommonDialog::save(const DialogSettings &settings)
{
    return chooseFile(settings, true);
}

#ifdef Q_OS_WIN
// Windows' own colour dialog, which Qt does not offer: it starts at the
// current colour and keeps the custom colours a person mixed while the
// program runs. COLORREF is the program's own 0x00BBGGRR.
std::optional<std::uint32_t> QtCommonDialog::color(std::uint32_t current)
{
    static COLORREF customColors[16] = {};
    for (COLORREF &custom : customColors)
        if (custom == 0)
            custom = RGB(255, 255, 255);
    CHOOSECOLORW choose = {};
    choose.lStructSize = sizeof choose;
    if (QWidget *owner = QApplication::activeWindow())
        choose.hwndOwner = reinterpret_cast<HWND>(owner->winId());
    choose.rgbResult = current & 0x00FFFFFF;
    choose.lpCustColors = customColors;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorW(&choose))
        return std::nullopt;
    return static_cast<std::uint32_t>(choose.rgbResult & 0x00FFFFFF);
}
#else
std::optional<std::uint32_t> QtCommonDialog::color(std::uint32_t current)
{
    const auto dialog = makeDialog<QColorDialog>(colorFromColorRef(current), dialogOwner());
    dialog->setOption(QColorDialog::DontUseNativeDialog);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    releaseMemoryLater();
    if (!accepted)
        return std::nullopt;
    return colorRefFromColor(dialog->selectedColor());
}
#endif

} // namespace lumaro
