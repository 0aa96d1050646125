#include "Shade.h"

#include <cstdint>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumaro::capture::shade {

namespace {

// c * a / 255 as QPainter rounds it, two channels at once in 16-bit lanes.
inline std::uint32_t multiply(std::uint32_t pixel, std::uint32_t a)
{
    std::uint32_t rb = (pixel & 0xff00ffu) * a;
    rb = ((rb + ((rb >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    std::uint32_t ag = ((pixel >> 8) & 0xff00ffu) * a;
    ag = (ag + ((ag >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return ag | rb;
}

// Below this many pixels a second thread costs more than it saves.
constexpr qsizetype ThreadedPixels = 512 * 1024;

struct Run
{
    int x, y, width;
    bool dark;
};

} // namespace

void darkRow(std::uint32_t *to, const std::uint32_t *from, int n, int alpha)
{
    // Black at `alpha` over an opaque pixel: alpha + pixel * (255 - alpha) / 255,
    // which leaves it opaque.
    const std::uint32_t keep = 255u - std::uint32_t(alpha);
    const std::uint32_t black = std::uint32_t(alpha) << 24;
    int i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    const __m128i low = _mm_set1_epi32(0x00ff00ff);
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i factor = _mm_set1_epi16(short(keep));
    const __m128i add = _mm_set1_epi32(int(black));
    for (; i + 4 <= n; i += 4) {
        const __m128i p = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i)), opaque);
        __m128i rb = _mm_mullo_epi16(_mm_and_si128(p, low), factor);
        __m128i ag = _mm_mullo_epi16(_mm_srli_epi16(p, 8), factor);
        rb = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(rb, _mm_srli_epi16(rb, 8)), half), 8);
        ag = _mm_andnot_si128(low, _mm_add_epi16(_mm_add_epi16(ag, _mm_srli_epi16(ag, 8)), half));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), _mm_add_epi32(_mm_or_si128(ag, rb), add));
    }
#endif
    for (; i < n; ++i)
        to[i] = black + multiply(from[i] | 0xff000000u, keep);
}

void brightRow(std::uint32_t *to, const std::uint32_t *from, int n)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i),
                         _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i)), opaque));
#endif
    for (; i < n; ++i)
        to[i] = from[i] | 0xff000000u;
}

bool copy(QImage &to, const QRegion &dark, const QRegion &bright, const QImage &from, QPoint offset, int alpha)
{
    if (to.format() != QImage::Format_ARGB32_Premultiplied && to.format() != QImage::Format_RGB32)
        return false;
    if (from.format() != QImage::Format_RGB32)
        return false;
    const QRect inside = to.rect() & from.rect().translated(-offset);
    if (!inside.contains((dark | bright).boundingRect()))
        return false;

    std::vector<Run> runs;
    qsizetype pixels = 0;
    for (const auto &[region, isDark] : { std::pair{ &dark, true }, std::pair{ &bright, false } })
        for (const QRect &r : *region) {
            for (int y = r.top(); y <= r.bottom(); ++y)
                runs.push_back({ r.left(), y, r.width(), isDark });
            pixels += qsizetype(r.width()) * r.height();
        }

    uchar *const toBits = to.bits();
    const uchar *const fromBits = from.constBits();
    const qsizetype toStride = to.bytesPerLine();
    const qsizetype fromStride = from.bytesPerLine();
    auto work = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            const Run &run = runs[i];
            auto *out = reinterpret_cast<std::uint32_t *>(toBits + run.y * toStride) + run.x;
            const auto *in = reinterpret_cast<const std::uint32_t *>(fromBits + (run.y + offset.y()) * fromStride)
                             + run.x + offset.x();
            if (run.dark)
                darkRow(out, in, run.width, alpha);
            else
                brightRow(out, in, run.width);
        }
    };
    if (pixels < ThreadedPixels || std::thread::hardware_concurrency() < 2) {
        work(0, runs.size());
        return true;
    }
    // Half the pixels each.
    std::size_t middle = 0;
    for (qsizetype counted = 0; middle < runs.size() && counted < pixels / 2; ++middle)
        counted += runs[middle].width;
    try {
        std::thread other(work, middle, runs.size());
        work(0, middle);
        other.join();
    } catch (const std::system_error &) {
        work(0, runs.size()); // no second thread to be had
    }
    return true;
}

} // namespace lumaro::capture::shade
