#include "KWinGrab.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

const QString Service = u"org.kde.KWin.ScreenShot2"_s;
const QString Path = u"/org/kde/KWin/ScreenShot2"_s;
const QString Interface = u"org.kde.KWin.ScreenShot2"_s;

// The raw pixels of one picture and what KWin said about them.
QImage rawPicture(const QVariantMap &format, const QByteArray &bytes, QString *error)
{
    if (format.value(u"type"_s).toString() != u"raw") {
        *error = u"KWin 给出的截图不是原始像素（%1）。"_s.arg(format.value(u"type"_s).toString());
        return {};
    }
    const int width = format.value(u"width"_s).toInt();
    const int height = format.value(u"height"_s).toInt();
    const qsizetype stride = format.value(u"stride"_s).toLongLong();
    const int f = format.value(u"format"_s).toInt();
    // Pixels without a colour table only: KWin sends none.
    if (f <= QImage::Format_Indexed8 || f >= QImage::NImageFormats || width <= 0 || height <= 0) {
        *error = u"KWin 给出的截图格式无法读取（%1×%2，格式 %3）。"_s.arg(width).arg(height).arg(f);
        return {};
    }
    QImage image(width, height, QImage::Format(f));
    if (image.isNull() || stride < image.bytesPerLine()) {
        *error = u"KWin 给出的截图格式无法读取（%1×%2，格式 %3，行宽 %4）。"_s.arg(width).arg(height).arg(f).arg(stride);
        return {};
    }
    // The last row needs only its pixels, not the padding after them.
    if (bytes.size() < stride * (height - 1) + image.bytesPerLine()) {
        *error = u"KWin 的截图不完整：收到 %1 字节，应有 %2 字节。"_s.arg(bytes.size()).arg(stride * height);
        return {};
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), bytes.constData() + y * stride, size_t(image.bytesPerLine()));
    // The screen is opaque: premultiplied or not, alpha or padding, the
    // same colours in the program's own format.
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

KWinGrab::KWinGrab(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus))
    , m_timeoutMs(timeoutMs)
{
}

bool KWinGrab::usable() const
{
    return m_bus.isConnected() && m_bus.interface() && m_bus.interface()->isServiceRegistered(Service).value();
}

QImage KWinGrab::call(const QString &method, const QVariantList &arguments, QString *error, QString *errorName)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = u"无法为 KWin 的截图建立管道：%1"_s.arg(QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    // Only our end waits on nothing: KWin writes to its end as to a file.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    const auto closeRead = qScopeGuard([&] { ::close(fds[0]); });

    // The pixels come while the call is under way (before its reply from
    // an older KWin, after it from a newer one): the pipe is read all along,
    // or a full screen would fill it and KWin would wait on us for ever.
    std::optional<QDBusPendingCallWatcher> watcher;
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
        message.setArguments(arguments);
        message << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        ::close(fds[1]);
        watcher.emplace(m_bus.asyncCall(message, m_timeoutMs));
    }

    QEventLoop loop;
    QByteArray bytes;
    bool ended = false;      // KWin closed its end
    bool answered = false;   // the reply came
    QVariantMap format;
    qsizetype expected = -1; // bytes the reply announced
    auto done = [&] {
        if (answered && (ended || (expected >= 0 && bytes.size() >= expected)))
            loop.quit();
    };
    QSocketNotifier notifier(fds[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        char chunk[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
            if (n > 0) {
                bytes.append(chunk, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || errno != EAGAIN) {
                ended = true;
                notifier.setEnabled(false);
            }
            break;
        }
        done();
    });
    QObject::connect(&*watcher, &QDBusPendingCallWatcher::finished, &loop, [&](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QVariantMap> reply = *w;
        answered = true;
        if (reply.isError()) {
            const QDBusError e = reply.error();
            *errorName = e.name();
            if (e.type() == QDBusError::ServiceUnknown || e.type() == QDBusError::UnknownMethod
                || e.type() == QDBusError::UnknownInterface || e.type() == QDBusError::UnknownObject)
                *error = u"KWin 没有截图接口（org.kde.KWin.ScreenShot2）：%1"_s.arg(e.message());
            else
                *error = u"KWin 拒绝了截图请求：%1"_s.arg(e.message().isEmpty() ? e.name() : e.message());
            loop.quit();
            return;
        }
        format = reply.value();
        expected = format.value(u"stride"_s).toLongLong() * format.value(u"height"_s).toLongLong();
        // Our copy of KWin's end goes with the call: from now on the pipe
        // ends when KWin has written all it will.
        QTimer::singleShot(0, &loop, [&] {
            watcher.reset();
            done();
        });
    });
    QTimer::singleShot(m_timeoutMs, &loop, [&] {
        if (error->isEmpty())
            *error = u"KWin 的截图在 %1 秒内没有完成。"_s.arg(m_timeoutMs / 1000);
        loop.quit();
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!error->isEmpty())
        return {};
    return rawPicture(format, bytes, error);
}

QImage KWinGrab::capture(const Place &place, QString *error)
{
    // The screen's own pixels, not scaled to its logical size; the pointer
    // is not part of the picture.
    const QVariantMap options{ { u"native-resolution"_s, true }, { u"include-cursor"_s, false } };
    QString errorName;
    QImage image = call(u"CaptureScreen"_s, { place.name, options }, error, &errorName);
    // Under XWayland the screens have the X server's names, which KWin does
    // not know: the same screen then by its place on the desktop.
    if (errorName == u"org.kde.KWin.ScreenShot2.Error.InvalidScreen") {
        error->clear();
        const QRect g = place.geometry;
        image = call(u"CaptureArea"_s, { g.x(), g.y(), uint(g.width()), uint(g.height()), options }, error, &errorName);
    }
    return image;
}

GrabResult KWinGrab::grabPlaces(const std::vector<Place> &places)
{
    GrabResult result;
    for (const Place &place : places) {
        QImage image = capture(place, &result.error);
        if (image.isNull()) {
            result.screens.clear();
            return result;
        }
        result.screens.push_back({ nullptr, place.geometry, image, image.size() });
    }
    return result;
}

GrabResult KWinGrab::grab(const QList<QScreen *> &screens)
{
    std::vector<Place> places;
    for (QScreen *s : screens)
        places.push_back({ s->name(), s->geometry() });
    GrabResult result = grabPlaces(places);
    for (std::size_t i = 0; i < result.screens.size(); ++i)
        result.screens[i].screen = screens[qsizetype(i)];
    return result;
}

} // namespace lumaro::capture
