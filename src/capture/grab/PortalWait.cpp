#include "PortalWait.h"

#include <QElapsedTimer>
#include <QTimer>

namespace lumaro::capture {

PortalWait::PortalWait(int timeoutMs, int patienceMs, WaitNotice notice)
    : m_timeoutMs(timeoutMs)
    , m_patienceMs(patienceMs)
    , m_notice(std::move(notice))
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

    const std::unique_ptr<QObject> notice = m_notice ? m_notice([this] { finish(Outcome::Cancelled); }) : nullptr;
    if (!m_outcome)
        m_loop.exec();
    return *m_outcome;
}

} // namespace lumaro::capture
