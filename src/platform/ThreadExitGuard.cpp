#include "platform/ThreadExitGuard.h"

#include <QByteArray>

namespace lumaro {

void guardThreadExit()
{
#ifdef Q_OS_WIN
    // Read once, at the first regular expression compiled.
    qputenv("QT_ENABLE_REGEXP_JIT", QByteArrayLiteral("0"));
#endif
}

} // namespace lumaro
