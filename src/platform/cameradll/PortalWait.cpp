#include "PortalWait.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

PortalWait::PortalWait(int timeoutMs, int patienceMs)
    : m_timeoutMs(timeoutMs)
    , m_patienceMs(patienceMs)
{
}

void PortalWait::answer(uint code, const QVariantMap &results)
{
    m_code = code;
    m_results = results;
    finish(Outcome::Answered);
}

void PortalWait::fail(const QString &why)
{
    m_failure = why;
    finish(Outcome::Failed);
}

void PortalWait::finish(Outcome outcome)
{
    if (m_outcome)
        return;
    m_outcome = outcome;
    m_loop.quit();
}

PortalWait::Outcome PortalWait::exec()
{
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
    timeout.start(m_timeoutMs);

    // Painting goes on; clicks and keys wait until the answer is in.
    QElapsedTimer patience;
    patience.start();
    // `wake` is connected to nothing: its tick only ends processEvents()'s
    // wait for more events, so that the loop sees the patience run out and
    // the dialog appears even when nothing else happens meanwhile. At least
    // 1 ms, since a 0 ms timer would fire on every pass of the loops here.
    QTimer wake;
    wake.start(std::max(1, m_patienceMs));
    while (!m_outcome && patience.elapsed() < m_patienceMs)
        m_loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    if (m_outcome)
        return *m_outcome;

    QDialog dialog;
    dialog.setObjectName(u"PortalWait"_s);
    dialog.setWindowTitle(u"正在截取屏幕"_s);
    dialog.setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(u"正在等待桌面截图服务（xdg-desktop-portal）……\n桌面可能在询问是否允许截图。"_s));
    auto *cancel = new QPushButton(u"取消"_s);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { finish(Outcome::Cancelled); });
    connect(&dialog, &QDialog::rejected, this, [this] { finish(Outcome::Cancelled); });
    dialog.show();
    if (!m_outcome)
        m_loop.exec();
    dialog.hide();
    return *m_outcome;
}

} // namespace lumaro::capture
