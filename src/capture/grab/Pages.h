#pragma once

#include <QtGlobal>

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace lumaro::capture {

// Has the kernel give every page of `bytes` at `data` now, writable: one
// call instead of a fault on each page as it is first touched. False where
// the kernel cannot (before Linux 5.14); the pages then come as they are
// touched.
inline bool makePagesReady(void *data, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    // From the page the memory begins in.
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<quintptr>(data) & ~(page - 1);
    const auto end = reinterpret_cast<quintptr>(data) + bytes;
    return madvise(reinterpret_cast<void *>(start), end - start, MADV_POPULATE_WRITE) == 0;
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
    return false;
#endif
}

} // namespace lumaro::capture
