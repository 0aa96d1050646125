#pragma once

// What the capture wing's tests share: synthetic frozen screens whose every
// pixel says where it is, and Lumaro's window as the selector finds it.

#include "Desktop.h"
#include "Elements.h"
#include "FrozenScreen.h"

#include <QImage>
#include <QMetaType>
#include <QRect>

#include <vector>

namespace lumaro::capture::testing {

// A picture whose every pixel says where it is: red = screen, green and
// blue = x and y (mod 256), so that a wrong screen or offset shows at once.
inline QImage tagged(int screen, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(40 * screen + 20, x % 256, y % 256));
    return img;
}

struct Layout
{
    std::vector<QRect> logical;
    std::vector<qreal> scales;
    // Where each screen lies in the window system's pixels (X11, Windows);
    // none: a logical layout (Wayland).
    std::vector<QRect> native = {};
    // The pictures' sizes where they are not logical x scale: a compositor
    // gives a fractional logical size rounded down.
    std::vector<QSize> pixels = {};

    std::vector<QImage> pictures() const
    {
        std::vector<QImage> p;
        for (std::size_t i = 0; i < logical.size(); ++i) {
            const QSize size = i < pixels.size() ? pixels[i]
                                                 : QSize(int(logical[i].width() * scales[i]),
                                                         int(logical[i].height() * scales[i]));
            p.push_back(tagged(int(i), size.width(), size.height()));
        }
        return p;
    }
    Desktop desktop() const
    {
        std::vector<Desktop::Place> s;
        for (std::size_t i = 0; i < logical.size(); ++i)
            s.push_back({ logical[i], scales[i], native.empty() ? QRect() : native[i],
                          i < pixels.size() ? pixels[i] : QSize(), native.empty() ? 0 : scales[i] });
        return Desktop(s);
    }
    std::vector<FrozenScreen> frozen() const
    {
        std::vector<FrozenScreen> f;
        const auto p = pictures();
        for (std::size_t i = 0; i < logical.size(); ++i)
            f.push_back({ nullptr, logical[i], p[i], p[i].size(), native.empty() ? QRect() : native[i],
                          native.empty() ? 0 : scales[i] });
        return f;
    }
};

inline const Layout OneScreen{ { QRect(0, 0, 640, 480) }, { 1.0 } };

// Lumaro's window as the selector finds it under Xvfb: the frame, the client
// area at `client`, and the panels and controls where they stand in it (its
// pixels, as the running program reports them).
inline Elements lumaroWindow(QPoint client, std::vector<QRect> screens)
{
    struct Place
    {
        int x, y, w, h;
        std::vector<Place> children = {};
    };
    const std::vector<Place> front{
        { 120, 8, 105, 201, { { 128 - 120, 24 - 8, 81, 33 }, { 8, 56, 81, 33 }, { 8, 96, 81, 33 }, { 8, 136, 81, 33 } } },
        { 8, 216, 217, 257, { { 8, 16, 177, 24 }, { 8, 48, 105, 33 }, { 8, 88, 81, 25 }, { 8, 120, 81, 25 },
                              { 8, 200, 89, 41 }, { 112, 200, 89, 41 } } },
        { 8, 16, 105, 193, { { 8, 24, 42, 14 }, { 32, 88, 33, 18 }, { 32, 120, 33, 18 }, { 16, 152, 49, 25 } } },
        { 384, 144, 32, 16 }, // Label1
        { 240, 8, 200, 192 }, // Imageshow
    };
    Elements e;
    const int frame = e.add(QRect(client.x() - 1, client.y() - 25, 567, 521));
    const int inside = e.add(QRect(client, QSize(565, 495)), frame);
    for (const Place &p : front) {
        const int panel = e.add(QRect(client + QPoint(p.x, p.y), QSize(p.w, p.h)), inside);
        for (const Place &c : p.children)
            e.add(QRect(client + QPoint(p.x + c.x, p.y + c.y), QSize(c.w, c.h)), panel);
    }
    e.setScreens(std::move(screens));
    return e;
}

} // namespace lumaro::capture::testing

Q_DECLARE_METATYPE(lumaro::capture::testing::Layout)
