#include "PortalDialog.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

std::unique_ptr<QObject> portalWaitDialog(std::function<void()> giveUp)
{
    auto dialog = std::make_unique<QDialog>();
    dialog->setObjectName(u"PortalWait"_s);
    dialog->setWindowTitle(u"正在截取屏幕"_s);
    dialog->setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(dialog.get());
    layout->addWidget(new QLabel(u"正在等待桌面截图服务（xdg-desktop-portal）……\n桌面可能在询问是否允许截图。"_s));
    auto *cancel = new QPushButton(u"取消"_s);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    QObject::connect(cancel, &QPushButton::clicked, dialog.get(), giveUp);
    QObject::connect(dialog.get(), &QDialog::rejected, dialog.get(), giveUp);
    dialog->show();
    return dialog;
}

} // namespace lumaro::capture
