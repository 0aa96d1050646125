/* Loaded into the program by bench/longrun.sh (LD_PRELOAD), to tell memory
 * the program still uses from memory glibc's allocator keeps after it was
 * freed. Four times a second it writes, to the file named in
 * LUMARO_HEAPINUSE, one line in KiB:
 *
 *     IN_USE HELD
 *
 * IN_USE: the blocks handed out and not yet freed, in the heap and mapped
 * on their own; HELD: what the allocator has taken from the system for
 * them, freed blocks included (some of which may no longer be resident).
 * The file is replaced whole each time, so a reader never sees half a line.
 *
 * The thread allocates nothing, so it adds no heap of its own, and it never
 * touches Qt. Without LUMARO_HEAPINUSE the library does nothing. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static char report_path[4096];
static char report_new[4096 + 8];

static void *report(void *unused)
{
    (void)unused;
    const struct timespec quarter = { 0, 250 * 1000 * 1000 };
    for (;;) {
        const struct mallinfo2 info = mallinfo2();
        char line[64];
        const int n = snprintf(line, sizeof line, "%zu %zu\n", (info.uordblks + info.hblkhd) / 1024,
                               (info.arena + info.hblkhd) / 1024);
        const int fd = open(report_new, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const int whole = n > 0 && write(fd, line, (size_t)n) == n;
            close(fd);
            if (whole)
                rename(report_new, report_path);
        }
        nanosleep(&quarter, NULL);
    }
    return NULL;
}

__attribute__((constructor)) static void start_reporting(void)
{
    const char *path = getenv("LUMARO_HEAPINUSE");
    /* Whatever the program starts runs without it. */
    unsetenv("LD_PRELOAD");
    if (!path || !*path || strlen(path) >= sizeof report_path)
        return;
    strcpy(report_path, path);
    snprintf(report_new, sizeof report_new, "%s.new", report_path);
    unsetenv("LUMARO_HEAPINUSE");
    pthread_attr_t attr;
    pthread_t thread;
    if (pthread_attr_init(&attr) != 0)
        return;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_create(&thread, &attr, report, NULL);
    pthread_attr_destroy(&attr);
}
