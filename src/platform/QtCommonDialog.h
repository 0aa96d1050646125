#pragma once

#include "platform/CommonDialog.h"

#include <QStringList>

class QWidget;

// Qt's own file and colour dialogs (not the desktop's native ones), so that
// they read in Chinese wherever the program runs.
class QtCommonDialog final : public CommonDialog
{
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    void ShowOpen() override;
    void ShowSave() override;
    void ShowColor() override;

private:
    QWidget *m_parent = nullptr;
};

// The stored filter text names extensions separated by commas ("jpg,bmp,png");
// this turns it into the dialog's file types: one entry for all of them, then
// "all files".
QStringList nameFiltersFromFilterText(const QString &filter);
