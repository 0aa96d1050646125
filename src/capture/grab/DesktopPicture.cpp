#include "DesktopPicture.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

int rounded(qreal v) { return int(std::lround(v)); }

} // namespace

std::vector<QImage> splitDesktopPicture(const QImage &whole, const std::vector<QRect> &screens, QString *error)
{
    QRect layout;
    for (const QRect &g : screens)
        layout |= g;
    if (whole.isNull() || layout.isEmpty()) {
        *error = u"桌面截图是空的。"_s;
        return {};
    }
    const qreal k = qreal(whole.width()) / layout.width();
    const qreal expectedHeight = layout.height() * k;
    if (std::abs(whole.height() - expectedHeight) > std::max(2.0, whole.height() * 0.01)) {
        *error = u"桌面截图（%1×%2）与屏幕的排列（%3×%4）不符。"_s.arg(whole.width())
                     .arg(whole.height())
                     .arg(layout.width())
                     .arg(layout.height());
        return {};
    }
    const QImage source = whole.format() == QImage::Format_RGB32 ? whole : whole.convertToFormat(QImage::Format_RGB32);
    std::vector<QImage> parts;
    for (const QRect &g : screens) {
        const QRect r = QRect(rounded((g.x() - layout.x()) * k), rounded((g.y() - layout.y()) * k),
                              rounded(g.width() * k), rounded(g.height() * k))
                        & source.rect();
        parts.push_back(source.copy(r));
    }
    return parts;
}

} // namespace lumaro::capture
