#include "PortalGrab.h"

#include "DesktopPicture.h"
#include "PortalWait.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>


#include <atomic>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

const QString Service = u"org.freedesktop.portal.Desktop"_s;
const QString RequestInterface = u"org.freedesktop.portal.Request"_s;

// What the missing part is, said so that a person knows what to install.
QString callFailure(const QDBusError &error)
{
    const QString name = error.name();
    if (name == u"org.freedesktop.DBus.Error.ServiceUnknown" || name == u"org.freedesktop.DBus.Error.NameHasNoOwner")
        return u"桌面截图服务（xdg-desktop-portal）没有运行或没有安装。请安装 xdg-desktop-portal 和适合这个桌面的后端"
               u"（xdg-desktop-portal-gnome、xdg-desktop-portal-kde 或 xdg-desktop-portal-wlr）。"_s;
    if (name == u"org.freedesktop.DBus.Error.UnknownMethod" || name == u"org.freedesktop.DBus.Error.UnknownInterface"
        || name == u"org.freedesktop.DBus.Error.UnknownObject")
        return u"桌面截图服务（xdg-desktop-portal）没有截图功能：这个桌面的后端"
               u"（xdg-desktop-portal-gnome、xdg-desktop-portal-kde 或 xdg-desktop-portal-wlr）没有安装。"_s;
    return u"桌面截图服务出错：%1"_s.arg(error.message().isEmpty() ? name : error.message());
}

} // namespace

bool isTemporaryPlace(const QString &path)
{
    const QString dir = QFileInfo(path).absolutePath() + u'/';
    QStringList temporary = { QDir::tempPath(), u"/tmp"_s, u"/var/tmp"_s,
                              QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) };
    for (const QString &t : std::as_const(temporary))
        if (!t.isEmpty() && dir.startsWith(QDir::cleanPath(t) + u'/'))
            return true;
    return false;
}

bool madeForRequest(const QString &path, const QDateTime &asked)
{
    const QFileInfo info(path);
    // A second's slack: file systems stamp times from a coarser clock.
    const QDateTime since = asked.addSecs(-1);
    if (info.lastModified() < since)
        return false;
    const QDateTime born = info.birthTime();
    return !born.isValid() || born >= since || isTemporaryPlace(path);
}

PortalGrab::PortalGrab(QDBusConnection bus, int timeoutMs, int patienceMs, WaitNotice notice)
    : m_bus(std::move(bus))
    , m_timeoutMs(timeoutMs)
    , m_patienceMs(patienceMs)
    , m_notice(std::move(notice))
{
}

QImage PortalGrab::requestPicture(QString *error, bool *cancelled)
{
    if (!m_bus.isConnected()) {
        *error = u"没有 D-Bus 会话总线，无法使用桌面截图服务（xdg-desktop-portal）。"_s;
        return {};
    }
    static std::atomic<int> counter{ 0 };
    const QString token = u"lumaro%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++counter);
    // The portal answers on a request object whose path it makes from our
    // name on the bus and the token: listen there before asking, so that no
    // answer can come before anyone listens.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    QString requestPath = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(sender, token);

    PortalWait wait(m_timeoutMs, m_patienceMs, m_notice);
    m_bus.connect(Service, requestPath, RequestInterface, u"Response"_s, &wait,
                  SLOT(answer(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(Service, u"/org/freedesktop/portal/desktop"_s,
                                                       u"org.freedesktop.portal.Screenshot"_s, u"Screenshot"_s);
    call << QString() << QVariantMap{ { u"handle_token"_s, token }, { u"interactive"_s, false }, { u"modal"_s, true } };
    const QDateTime asked = QDateTime::currentDateTime();
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(call));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &wait, [&](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QDBusObjectPath> handle = *w;
        if (handle.isError()) {
            wait.fail(callFailure(handle.error()));
        } else if (handle.value().path() != requestPath) {
            // An older portal chose its own path: listen there instead.
            m_bus.disconnect(Service, requestPath, RequestInterface, u"Response"_s, &wait,
                             SLOT(answer(uint, QVariantMap)));
            requestPath = handle.value().path();
            m_bus.connect(Service, requestPath, RequestInterface, u"Response"_s, &wait,
                          SLOT(answer(uint, QVariantMap)));
        }
    });

    const PortalWait::Outcome outcome = wait.exec();
    m_bus.disconnect(Service, requestPath, RequestInterface, u"Response"_s, &wait, SLOT(answer(uint, QVariantMap)));
    switch (outcome) {
    case PortalWait::Outcome::Cancelled:
        *cancelled = true;
        return {};
    case PortalWait::Outcome::TimedOut:
        *error = u"桌面截图服务（xdg-desktop-portal）在 %1 秒内没有回应。"_s.arg(m_timeoutMs / 1000);
        return {};
    case PortalWait::Outcome::Failed:
        *error = wait.failure();
        return {};
    case PortalWait::Outcome::Answered:
        break;
    }
    if (wait.code() == 1) {
        *error = u"截图请求被拒绝：桌面没有允许 Lumaro 截取屏幕。"_s;
        return {};
    }
    if (wait.code() != 0) {
        *error = u"桌面截图服务未能完成截图。"_s;
        return {};
    }
    const QUrl uri(wait.results().value(u"uri"_s).toString());
    const QString file = uri.toLocalFile();
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile()) {
        *error = u"桌面截图服务没有给出截图文件。"_s;
        return {};
    }
    // A file from before the request is somebody else's old picture (a
    // portal that writes to a fixed name and failed this time).
    if (info.lastModified() < asked.addSecs(-2)) {
        *error = u"桌面截图服务给出的是一张旧的截图。"_s;
        return {};
    }
    QImageReader reader(file);
    QImage picture = reader.read();
    reader.setDevice(nullptr);
    // A picture of the whole desktop, whatever was on it: it stays nowhere
    // but in the selector, wherever the portal put it (GNOME's and KDE's put
    // it among the user's pictures). Only a file that this request made
    // goes; one that was there before is the user's, unless it is a
    // portal's own fixed file in a temporary place.
    if (madeForRequest(file, asked))
        QFile::remove(file);
    if (picture.isNull())
        *error = u"无法读取桌面截图服务给出的截图（%1）。"_s.arg(reader.errorString());
    return picture;
}

GrabResult PortalGrab::grabLayout(const std::vector<QRect> &screens)
{
    GrabResult result;
    const QImage whole = requestPicture(&result.error, &result.cancelled);
    if (whole.isNull())
        return result;
    const std::vector<QImage> parts = splitDesktopPicture(whole, screens, &result.error);
    for (std::size_t i = 0; i < parts.size(); ++i)
        result.screens.push_back({ nullptr, screens[i], parts[i], parts[i].size() });
    return result;
}

GrabResult PortalGrab::grab(const QList<QScreen *> &screens)
{
    std::vector<QRect> layout;
    for (QScreen *s : screens)
        layout.push_back(s->geometry());
    GrabResult result = grabLayout(layout);
    for (std::size_t i = 0; i < result.screens.size(); ++i)
        result.screens[i].screen = screens[qsizetype(i)];
    return result;
}

} // namespace lumaro::capture
