/* clicktime: a real click, and what the X server shows after it. Clicks
 * button 1 at X,Y through XTEST, as a mouse would, and times from the click
 * to the map of the first new window that covers the whole screen, to the
 * first paint inside it and to the last paint before the screen comes to
 * rest. The times are the X server's own, the stamps it puts on its events
 * (in milliseconds), so a busy machine that is slow to run this program
 * does not lengthen them. Needs a plain X server without a window manager
 * (Xvfb) with XTEST and DAMAGE.
 *
 *   clicktime X Y [BEFORE_MS [AFTER_MS [TIMEOUT_MS]]]
 *
 * Before the click the pointer rests on X,Y until the screen has been quiet
 * for BEFORE_MS (300), so that the repaint its hover causes is not counted.
 * After the map, the screen is at rest once nothing in the window has been
 * painted for AFTER_MS (1500). The first paint is done once every pixel of
 * the screen has been painted since the map, however many requests that
 * took: a program may send its first frame in several. Prints one line,
 * counted from the click:
 *   map_ms=… first_paint_ms=… paint_ms=… first_damage_ms=… window=0x…
 * (first_damage_ms: the first of those requests.)
 * Exit 0; 1 set-up; 2 nothing covered the screen within TIMEOUT_MS (10000),
 * or the screen did not come to rest within that time.
 *
 * Server time: a zero-length change of a property on a window of our own is
 * answered with a stamped PropertyNotify. One sent right after the click is
 * stamped with the click's time (the server handles the faked input before
 * our next request). A map carries no stamp; events arrive in the order the
 * server made them, so the first stamped one after the MapNotify dates the
 * map: the damage of the window's background when it has one, else such a
 * property change, sent as the MapNotify arrives.
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "xwait.h"

static Display *d;
static Window root, clock_window;
static Atom clock_atom;
static int damage_event, screen_w, screen_h;

/* Asks the server for a stamp: a PropertyNotify on clock_window follows. */
static void request_stamp(void)
{
    XChangeProperty(d, clock_window, clock_atom, XA_INTEGER, 32, PropModeAppend, NULL, 0);
    XFlush(d);
}

static int is_stamp(const XEvent *e)
{
    return e->type == PropertyNotify && e->xproperty.window == clock_window;
}

/* The server time an event carries, or 0 for events without one. */
static Time stamp_of(const XEvent *e)
{
    if (is_stamp(e))
        return e->xproperty.time;
    if (e->type == damage_event + XDamageNotify)
        return ((const XDamageNotifyEvent *)e)->timestamp;
    return 0;
}

typedef struct {
    XRectangle area;
    Time time;
} Paint;

typedef struct {
    int clicked, mapped, map_dated, painted;
    Time click, map, first_damage, last_paint;
    Window window;
    Paint *paints; /* every paint after the map, looked at once the screen rests */
    size_t count, room;
} Watch;

/* When the paints first covered the whole screen; 0 if they never did. */
static Time covered_at(const Watch *w)
{
    unsigned char *done = calloc((size_t)screen_w * (size_t)screen_h, 1);
    size_t left = (size_t)screen_w * (size_t)screen_h;
    Time at = 0;
    for (size_t i = 0; done && i < w->count && !at; ++i) {
        const XRectangle *r = &w->paints[i].area;
        const int x0 = r->x < 0 ? 0 : r->x, y0 = r->y < 0 ? 0 : r->y;
        const int x1 = r->x + r->width > screen_w ? screen_w : r->x + r->width;
        const int y1 = r->y + r->height > screen_h ? screen_h : r->y + r->height;
        for (int y = y0; y < y1; ++y)
            for (unsigned char *p = done + (size_t)y * screen_w + x0, *end = done + (size_t)y * screen_w + x1; p < end; ++p)
                if (!*p) {
                    *p = 1;
                    --left;
                }
        if (!left)
            at = w->paints[i].time;
    }
    free(done);
    return at;
}

static int covers_screen(Window w)
{
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable && a.x <= 0 && a.y <= 0
           && a.x + a.width >= screen_w && a.y + a.height >= screen_h;
}

/* Takes in one event; 1 when it is a paint of the watched window. */
static int note(const XEvent *e, void *context)
{
    Watch *w = context;
    const Time t = stamp_of(e);
    if (!w->clicked) {
        if (is_stamp(e)) {
            w->clicked = 1;
            w->click = t;
        }
        return 0;
    }
    if (!w->mapped) {
        Window candidate = None;
        if (e->type == MapNotify && e->xmap.window != clock_window)
            candidate = e->xmap.window;
        else if (e->type == ConfigureNotify) /* mapped first, made to cover the screen after */
            candidate = e->xconfigure.window;
        if (candidate != None && covers_screen(candidate)) {
            w->mapped = 1;
            w->window = candidate;
            request_stamp();
        }
        return 0;
    }
    if (t && !w->map_dated) {
        w->map_dated = 1;
        w->map = t;
    }
    if (e->type == damage_event + XDamageNotify) {
        if (!w->painted) {
            w->painted = 1;
            w->first_damage = t;
        }
        w->last_paint = t;
        if (w->count == w->room) {
            w->room = w->room ? 2 * w->room : 256;
            w->paints = realloc(w->paints, w->room * sizeof *w->paints);
            if (!w->paints) {
                fprintf(stderr, "clicktime: out of memory\n");
                exit(1);
            }
        }
        w->paints[w->count++] = (Paint){ ((const XDamageNotifyEvent *)e)->area, t };
        return 1;
    }
    return 0;
}

static int screen_changed(const XEvent *e, void *context)
{
    (void)context;
    return e->type == damage_event + XDamageNotify || e->type == MapNotify || e->type == UnmapNotify
           || e->type == ConfigureNotify;
}

static double since(Time t, Time t0) { return (double)(int32_t)(uint32_t)(t - t0); }

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: clicktime X Y [BEFORE_MS [AFTER_MS [TIMEOUT_MS]]]\n");
        return 1;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]);
    const double before = argc > 3 ? atof(argv[3]) : 300, after = argc > 4 ? atof(argv[4]) : 1500,
                 timeout = argc > 5 ? atof(argv[5]) : 10000;
    d = XOpenDisplay(NULL);
    int event_base, error_base, major, minor;
    if (!d || !XDamageQueryExtension(d, &damage_event, &error_base)
        || !XTestQueryExtension(d, &event_base, &error_base, &major, &minor)) {
        fprintf(stderr, "clicktime: needs a display with the DAMAGE and XTEST extensions\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    root = DefaultRootWindow(d);
    screen_w = DisplayWidth(d, DefaultScreen(d));
    screen_h = DisplayHeight(d, DefaultScreen(d));
    XSetWindowAttributes attributes = { .event_mask = PropertyChangeMask };
    clock_window = XCreateWindow(d, root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &attributes);
    clock_atom = XInternAtom(d, "LUMARO_CLICKTIME", False);
    XSelectInput(d, root, SubstructureNotifyMask);
    XDamageCreate(d, root, XDamageReportRawRectangles);
    XSync(d, False);

    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XFlush(d);
    if (wait_quiet(d, before, timeout, screen_changed, NULL)) {
        fprintf(stderr, "clicktime: the screen did not come to rest before the click\n");
        return 2;
    }

    Watch w = { 0 };
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    request_stamp();
    const double deadline = now_ms() + timeout;
    while (!w.mapped) {
        if (now_ms() > deadline) {
            fprintf(stderr, "clicktime: no window covered the screen within %.0f ms of the click\n", timeout);
            return 2;
        }
        while (XPending(d) && !w.mapped) {
            XEvent e;
            XNextEvent(d, &e);
            note(&e, &w);
        }
        wait_x(d, deadline - now_ms());
    }
    if (wait_quiet(d, after, timeout, note, &w) || !w.map_dated) {
        fprintf(stderr, "clicktime: the screen did not come to rest after the window was mapped\n");
        return 2;
    }
    Time first_paint = covered_at(&w);
    if (!w.painted)
        w.first_damage = w.last_paint = w.map;
    if (!first_paint) {
        fprintf(stderr, "clicktime: the window's paints never covered the screen\n");
        return 2;
    }
    printf("map_ms=%.0f first_paint_ms=%.0f paint_ms=%.0f first_damage_ms=%.0f window=0x%lx\n", since(w.map, w.click),
           since(first_paint, w.click), since(w.last_paint, w.click), since(w.first_damage, w.click),
           (unsigned long)w.window);
    XCloseDisplay(d);
    return 0;
}
