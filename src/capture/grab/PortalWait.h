#pragma once

#include "GrabBackend.h"

#include <QEventLoop>
#include <QObject>
#include <QVariantMap>

#include <optional>

namespace lumaro::capture {

// Waits for the desktop portal's answer without stopping the window from
// painting. For the first moments input waits too (a quick answer needs no
// notice); after that the notice (a small dialog, see WaitNotice) says what
// is being waited for and lets the person give up. The wait ends at the latest after `timeoutMs`.
class PortalWait : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Answered, Failed, TimedOut, Cancelled };

    PortalWait(int timeoutMs, int patienceMs, WaitNotice notice = {});
    Outcome exec();

    uint code() const { return m_code; }
    const QVariantMap &results() const { return m_results; }
    const QString &failure() const { return m_failure; }
    void fail(const QString &why);

public slots:
    // org.freedesktop.portal.Request.Response
    void answer(uint code, const QVariantMap &results);

private:
    void finish(Outcome outcome);

    int m_timeoutMs, m_patienceMs;
    WaitNotice m_notice;
    QEventLoop m_loop;
    std::optional<Outcome> m_outcome;
    uint m_code = 2;
    QVariantMap m_results;
    QString m_failure;
};

} // namespace lumaro::capture
