#pragma once

#include "GrabBackend.h"

namespace lumaro::capture {

// Where no way to read the screen exists: every grab fails with the reason.
class NullGrab final : public GrabBackend
{
public:
    explicit NullGrab(QString reason) : m_reason(std::move(reason)) {}
    GrabResult grab(const QList<QScreen *> &) override { return { {}, m_reason, false }; }

private:
    QString m_reason;
};

} // namespace lumaro::capture
