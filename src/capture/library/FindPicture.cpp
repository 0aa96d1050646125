#include "FindPicture.h"

#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstring>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

struct Strip
{
    int x, y, width;
};

constexpr int StripWidth = 48;

// Strips across the needle where its pixels vary (a strip of one colour
// would match anywhere), spread over it.
std::vector<Strip> stripsOf(const QImage &n)
{
    std::vector<Strip> strips;
    const int width = std::min(StripWidth, n.width());
    for (int part = 1; part <= 7 && width > 0; ++part) {
        const int y = n.height() * part / 8;
        for (int x : { n.width() / 6, n.width() / 2, n.width() * 4 / 6 }) {
            x = std::clamp(x, 0, n.width() - width);
            const auto *line = reinterpret_cast<const quint32 *>(n.constScanLine(y)) + x;
            std::set<quint32> colours(line, line + width);
            if (colours.size() >= 4) {
                strips.push_back({ x, y, width });
                break;
            }
        }
    }
    return strips;
}

bool stripAt(const QImage &h, const QImage &n, const Strip &s, QPoint at)
{
    const int x = at.x() + s.x, y = at.y() + s.y;
    if (x < 0 || y < 0 || x + s.width > h.width() || y >= h.height())
        return false;
    return std::memcmp(reinterpret_cast<const quint32 *>(h.constScanLine(y)) + x,
                       reinterpret_cast<const quint32 *>(n.constScanLine(s.y)) + s.x, std::size_t(s.width) * 4)
           == 0;
}

// Whether the needle stands at `at`, all of it but a little (the pointer).
bool wholeAt(const QImage &h, const QImage &n, QPoint at)
{
    const qsizetype allowed = qsizetype(n.width()) * n.height() / 50;
    qsizetype wrong = 0;
    for (int y = 0; y < n.height(); ++y) {
        const auto *a = reinterpret_cast<const quint32 *>(h.constScanLine(at.y() + y)) + at.x();
        const auto *b = reinterpret_cast<const quint32 *>(n.constScanLine(y));
        if (std::memcmp(a, b, std::size_t(n.width()) * 4) == 0)
            continue;
        for (int x = 0; x < n.width(); ++x)
            if (a[x] != b[x] && ++wrong > allowed)
                return false;
    }
    return true;
}

} // namespace

std::optional<QPoint> findPicture(const QImage &haystackIn, const QImage &needleIn)
{
    if (haystackIn.isNull() || needleIn.isNull() || needleIn.width() > haystackIn.width()
        || needleIn.height() > haystackIn.height())
        return std::nullopt;
    const QImage h = haystackIn.convertToFormat(QImage::Format_RGB32);
    const QImage n = needleIn.convertToFormat(QImage::Format_RGB32);
    const std::vector<Strip> strips = stripsOf(n);
    if (strips.size() < 2)
        return std::nullopt; // too plain to be told from its surroundings

    // Candidates from each strip in turn; a place where most strips match wins.
    for (const Strip &first : strips) {
        const auto *needle = reinterpret_cast<const quint32 *>(n.constScanLine(first.y)) + first.x;
        for (int y = first.y; y <= h.height() - n.height() + first.y; ++y) {
            const auto *row = reinterpret_cast<const quint32 *>(h.constScanLine(y));
            const auto *end = row + (h.width() - n.width() + first.x + first.width);
            for (const quint32 *hit = std::search(row + first.x, end, needle, needle + first.width); hit != end;
                 hit = std::search(hit + 1, end, needle, needle + first.width)) {
                const QPoint at(int(hit - row) - first.x, y - first.y);
                const auto matching = std::count_if(strips.begin(), strips.end(),
                                                    [&](const Strip &s) { return stripAt(h, n, s, at); });
                // Strips may also match a pixel off where a picture repeats
                // itself downwards; the whole of it decides.
                if (matching * 4 >= qsizetype(strips.size()) * 3 && wholeAt(h, n, at))
                    return at;
            }
        }
    }
    return std::nullopt;
}

std::optional<WindowOnScreen> findOwnWindow(const QImage &picture, const QRect &layout, QWidget *w)
{
    if (picture.isNull() || layout.isEmpty())
        return std::nullopt;
    const qreal k = qreal(picture.width()) / layout.width();
    const QPixmap content = w->grab();
    if (std::abs(content.devicePixelRatio() - k) > 0.01)
        return std::nullopt; // drawn at another scale than the picture: not comparable pixel for pixel
    const auto at = findPicture(picture, content.toImage());
    if (!at)
        return std::nullopt;
    const QRectF rect(QPointF(layout.topLeft()) + QPointF(*at) / k, QSizeF(w->size()));
    return WindowOnScreen{ rect, w->windowHandle(), rect.topLeft() - QPointF(w->mapToGlobal(QPoint(0, 0))) };
}

std::vector<WindowOnScreen> findOwnWindows(const std::vector<FrozenScreen> &screens, const QList<QWidget *> &own)
{
    std::vector<WindowOnScreen> found;
    for (QWidget *w : own)
        for (const FrozenScreen &s : screens)
            if (auto window = findOwnWindow(s.image, s.geometry, w)) {
                found.push_back(*window);
                break;
            }
    return found;
}

} // namespace lumaro::capture
