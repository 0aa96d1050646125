#pragma once

#include "platform/MessageBox.h"

class QWidget;

class QtMessageBox final : public MessageBox
{
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    MsgAnswer show(const QString &prompt, MsgButtons buttons, MsgIcon icon,
                   const QString &title) override;

private:
    QWidget *m_parent = nullptr;
};
