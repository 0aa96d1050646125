#include "platform/QtMessagePrompt.h"

#include "platform/DialogClose.h"

#include <QMessageBox>

namespace lumaro {

MsgAnswer QtMessagePrompt::show(const QString &prompt, MsgButtons buttons, MsgIcon icon, const QString &title)
{
    const QMessageBox::Icon qicon = icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    const auto box = makeDialog<QMessageBox>(
        qicon, title, prompt, buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        dialogOwner());
    box->setTextFormat(Qt::PlainText);
    switch (box->exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        // Closing a Yes/No box by its close button or Esc means No.
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }
}

} // namespace lumaro
