#pragma once

#include <QImage>
#include <QtGlobal>

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <system_error>
#include <thread>

namespace lumaro::capture {

// Has the kernel map every page of `bytes` at `data` now, as `advice`
// (MADV_POPULATE_WRITE or _READ) asks: one call instead of a fault on each
// page as it is first touched. False where the kernel cannot (before Linux
// 5.14); the pages then come as they are touched.
inline bool populatePages(const void *data, std::size_t bytes, int advice)
{
    // From the page the memory begins in.
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<quintptr>(data) & ~(page - 1);
    const auto end = reinterpret_cast<quintptr>(data) + bytes;
    return madvise(reinterpret_cast<void *>(start), end - start, advice) == 0;
}

#if defined(MADV_POPULATE_WRITE) && defined(MADV_POPULATE_READ)
// Every page, writable; every page, for reading.
inline bool makePagesReady(void *data, std::size_t bytes) { return populatePages(data, bytes, MADV_POPULATE_WRITE); }
inline bool makePagesReadable(const void *data, std::size_t bytes)
{
    return populatePages(data, bytes, MADV_POPULATE_READ);
}
#else
inline bool makePagesReady(void *, std::size_t) { return false; }
inline bool makePagesReadable(const void *, std::size_t) { return false; }
#endif

// The first reading of fresh memory costs most of a copy's time, spent in
// the kernel a page at a time: two threads share it.
inline void copyInHalves(void *to, const void *from, std::size_t bytes)
{
    const std::size_t half = bytes / 2 & ~std::size_t(4095);
    auto *t = static_cast<uchar *>(to);
    const auto *f = static_cast<const uchar *>(from);
    try {
        std::thread other([=] { std::memcpy(t + half, f + half, bytes - half); });
        std::memcpy(t, f, half);
        other.join();
    } catch (const std::system_error &) {
        std::memcpy(t, f, bytes); // no second thread to be had
    }
}

// A picture over `length` bytes that mmap() gave at `data`, which go back
// with the picture's last copy (at once, where Qt refuses the picture).
inline QImage imageOverMapping(void *data, std::size_t length, QSize size, qsizetype line, QImage::Format format)
{
    struct Mapping
    {
        void *data;
        std::size_t length;
    };
    const auto release = [](void *info) {
        const auto *m = static_cast<Mapping *>(info);
        munmap(m->data, m->length);
        delete m;
    };
    auto *info = new Mapping{ data, length };
    QImage image(static_cast<uchar *>(data), size.width(), size.height(), line, format, release, info);
    if (image.isNull())
        release(info); // Qt does not release what it refused
    return image;
}

// A picture of `size` in memory of its own, its pages made now, and made
// large (2 MiB each) where the kernel is asked for that per mapping: fresh
// memory then costs a few faults instead of one every 4 KiB, which on a
// virtual machine is most of the first copy into it. A plain QImage where
// the memory cannot be had this way.
inline QImage imageOnLargePages(QSize size, QImage::Format format)
{
#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
    const qsizetype line = (qsizetype(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(line) * std::size_t(qMax(size.height(), 0));
    constexpr std::size_t large = std::size_t(2) << 20;
    if (size.isEmpty() || bytes < large)
        return QImage(size, format);
    const std::size_t length = (bytes + large - 1) / large * large;
    // Room to start on a large page's boundary; what lies outside goes back.
    void *mapped = mmap(nullptr, length + large, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return QImage(size, format);
    const auto base = reinterpret_cast<quintptr>(mapped);
    const quintptr start = (base + large - 1) & ~quintptr(large - 1);
    if (start > base)
        munmap(mapped, start - base);
    if (const quintptr end = base + length + large; end > start + length)
        munmap(reinterpret_cast<void *>(start + length), end - (start + length));
    auto *data = reinterpret_cast<uchar *>(start);
    madvise(data, length, MADV_HUGEPAGE); // a hint: without it, small pages
    madvise(data, length, MADV_POPULATE_WRITE);
    return imageOverMapping(data, length, size, line, format);
#else
    return QImage(size, format);
#endif
}

} // namespace lumaro::capture
