/* xwait.h: waiting on a plain X server without fixed sleeps, shared by the
 * end-to-end tests' driver (tests/e2e/xdrive.c) and the outside-in timer
 * (bench/clicktime.c). */
#ifndef LUMARO_XWAIT_H
#define LUMARO_XWAIT_H

#include <X11/Xlib.h>
#include <poll.h>
#include <time.h>

static inline double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

/* Windows vanish while they are looked at; that is no error here. */
static inline int ignore_errors(Display *display, XErrorEvent *e)
{
    (void)display;
    (void)e;
    return 0;
}

/* Waits at most `ms` for the X connection to have something to read. */
static inline void wait_x(Display *display, double ms)
{
    if (XPending(display))
        return;
    struct pollfd p = { ConnectionNumber(display), POLLIN, 0 };
    poll(&p, 1, ms < 0 ? 0 : (int)ms + 1);
}

/* Reads events until `busy` has counted none of them as activity for
 * quiet_ms. Returns 0 then, or 2 when timeout_ms pass first. */
typedef int (*XActivity)(const XEvent *e, void *context);
static inline int wait_quiet(Display *display, double quiet_ms, double timeout_ms, XActivity busy, void *context)
{
    const double start = now_ms();
    double last = start;
    while (now_ms() - last < quiet_ms) {
        if (now_ms() - start > timeout_ms)
            return 2;
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
            if (busy(&e, context))
                last = now_ms();
        }
        wait_x(display, quiet_ms - (now_ms() - last));
    }
    return 0;
}

#endif
