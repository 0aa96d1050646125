#include "platform/BusAhead.h"

#if defined(LUMARO_HAVE_DBUS)
#include <QDBusConnection>
#include <sys/resource.h>
#include <unistd.h>
#include <cstdlib>
#endif

namespace lumaro {

BusAhead::BusAhead()
{
#if defined(LUMARO_HAVE_DBUS)
    m_connector = std::thread([] { if (getenv("XXNICE")) setpriority(PRIO_PROCESS, gettid(), atoi(getenv("XXNICE"))); QDBusConnection::sessionBus(); });
#endif
}

BusAhead::~BusAhead()
{
    if (m_connector.joinable())
        m_connector.join();
}

} // namespace lumaro
