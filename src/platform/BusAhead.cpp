#include "platform/BusAhead.h"

#if defined(LUMARO_HAVE_DBUS)
#include <QDBusConnection>
#include <QThread>
#endif

namespace lumaro {

BusAhead::BusAhead()
{
#if defined(LUMARO_HAVE_DBUS)
    // Qt takes the first thread that uses it for its main thread, whose
    // event dispatcher runs the program's timers and input. The thread below
    // uses Qt before the application exists, so this one makes itself known
    // to Qt first.
    QThread::currentThread();
    m_connector = std::thread([] { QDBusConnection::sessionBus(); });
#endif
}

BusAhead::~BusAhead()
{
    if (m_connector.joinable())
        m_connector.join();
}

} // namespace lumaro
