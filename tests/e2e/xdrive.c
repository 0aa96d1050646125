/* xdrive: the end-to-end tests' hands and eyes on a plain X server (Xvfb,
 * no window manager).
 *
 *   xdrive ping WINDOW [TIMEOUT_MS]   does the program behind WINDOW answer?
 *                                     (_NET_WM_PING; exit 0 yes, 2 no)
 *   xdrive close WINDOW               ask the window to close (WM_DELETE_WINDOW)
 *   xdrive settle [QUIET_MS] [TIMEOUT_MS]
 *                                     wait until nothing on the screen has
 *                                     changed or been mapped for QUIET_MS
 *   xdrive monkey WINDOW PID SEED EVENTS LOG
 *                                     random clicks, drags and keys over the
 *                                     program's windows; fails when it dies
 *                                     (exit 3) or does not answer a ping
 *                                     within 5 s (exit 2). LOG gets one line
 *                                     per event, to replay a failure: the
 *                                     window it went to (id, "popup" or
 *                                     "window", title, size), then what it
 *                                     did there.
 *
 * Waiting is event-driven: poll() on the X connection, never a fixed sleep.
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "monkey.h"
#include "xwait.h"

static Display *d;
static Window root;
static int damage_event = -1;

/* ------------------------------------------------------------ ping, close */

static Atom atom(const char *name) { return XInternAtom(d, name, False); }

static long ping_stamp;

/* A WM_PROTOCOLS message, as a window manager sends them. */
static void send_protocol(Window w, const char *protocol, long stamp)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = atom("WM_PROTOCOLS");
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)atom(protocol);
    e.xclient.data.l[1] = stamp;
    e.xclient.data.l[2] = (long)w;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
}

static void send_ping(Window w) { send_protocol(w, "_NET_WM_PING", ++ping_stamp); }

static int is_pong(const XEvent *e)
{
    return e->type == ClientMessage && e->xclient.window == root
           && (Atom)e->xclient.data.l[0] == atom("_NET_WM_PING") && e->xclient.data.l[1] == ping_stamp;
}

/* 1 when the window's program answers within timeout_ms. Other events are dropped. */
static int ping(Window w, double timeout_ms)
{
    send_ping(w);
    double deadline = now_ms() + timeout_ms;
    while (now_ms() < deadline) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (is_pong(&e))
                return 1;
        }
        wait_x(d, deadline - now_ms());
    }
    return 0;
}

static void close_window(Window w) { send_protocol(w, "WM_DELETE_WINDOW", CurrentTime); }

/* ------------------------------------------------------------ settle */

static int screen_changed(const XEvent *e, void *context)
{
    (void)context;
    return e->type == damage_event + XDamageNotify || e->type == MapNotify || e->type == UnmapNotify
           || e->type == ConfigureNotify;
}

static int settle(double quiet_ms, double timeout_ms)
{
    int ev, err;
    if (!XDamageQueryExtension(d, &ev, &err))
        return 1;
    damage_event = ev;
    Damage dmg = XDamageCreate(d, root, XDamageReportRawRectangles);
    const int result = wait_quiet(d, quiet_ms, timeout_ms, screen_changed, NULL);
    XDamageDestroy(d, dmg);
    return result;
}

/* ------------------------------------------------------------ monkey */

typedef struct {
    Window w;
    int x, y, width, height;
    char title[128];
    int popup; /* override-redirect: a menu, a drop-down list, a tooltip */
} Top;

static void title_of(Window w, char *out, size_t size)
{
    out[0] = 0;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(d, w, atom("_NET_WM_NAME"), 0, 256, False, atom("UTF8_STRING"), &type, &format, &n,
                           &after, &data) == Success && data) {
        snprintf(out, size, "%s", (char *)data);
        XFree(data);
    }
}

/* The topmost mapped window on the screen (no window manager: every
 * top-level is a child of the root, in stacking order). */
static int topmost(Top *top)
{
    Window r, p, *kids = NULL;
    unsigned n = 0;
    if (!XQueryTree(d, root, &r, &p, &kids, &n))
        return 0;
    int found = 0;
    for (int i = (int)n - 1; i >= 0 && !found; --i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable || a.class != InputOutput
            || a.width < 4 || a.height < 4)
            continue;
        *top = (Top){ kids[i], a.x, a.y, a.width, a.height, "", a.override_redirect };
        title_of(kids[i], top->title, sizeof top->title);
        found = 1;
    }
    if (kids)
        XFree(kids);
    return found;
}

static void key(FILE *log, const char *name, KeySym sym, KeySym modifier)
{
    KeyCode code = XKeysymToKeycode(d, sym), mod = modifier ? XKeysymToKeycode(d, modifier) : 0;
    if (!code)
        return;
    fprintf(log, "key %s\n", name);
    if (mod)
        XTestFakeKeyEvent(d, mod, True, 0);
    XTestFakeKeyEvent(d, code, True, 0);
    XTestFakeKeyEvent(d, code, False, 0);
    if (mod)
        XTestFakeKeyEvent(d, mod, False, 0);
}

static void click(FILE *log, int x, int y, int button, int times)
{
    fprintf(log, "click %d %d button %d x%d\n", x, y, button, times);
    XTestFakeMotionEvent(d, -1, x, y, 0);
    for (int i = 0; i < times; ++i) {
        XTestFakeButtonEvent(d, (unsigned)button, True, 0);
        XTestFakeButtonEvent(d, (unsigned)button, False, 0);
    }
}

static void drag(FILE *log, int x0, int y0, int x1, int y1)
{
    fprintf(log, "drag %d %d -> %d %d\n", x0, y0, x1, y1);
    XTestFakeMotionEvent(d, -1, x0, y0, 0);
    XTestFakeButtonEvent(d, 1, True, 0);
    for (int s = 1; s <= 4; ++s)
        XTestFakeMotionEvent(d, -1, x0 + (x1 - x0) * s / 4, y0 + (y1 - y0) * s / 4, 0);
    XTestFakeButtonEvent(d, 1, False, 0);
}

#define X_KEY(name, xsym, evdev, mod) { name, xsym, mod },
static const struct { const char *name; KeySym sym; int mod; } Keys[] = { MONKEY_KEYS(X_KEY) };

static KeySym modifier_key(int mod)
{
    switch (mod) {
    case MONKEY_SHIFT:
        return XK_Shift_L;
    case MONKEY_CTRL:
        return XK_Control_L;
    case MONKEY_ALT:
        return XK_Alt_L;
    }
    return 0;
}

/* A window of the file dialog: the dialog itself, or its delete and replace
 * questions. No right click there: a monkey must not remove or overwrite
 * files on the machine it runs on. */
static int file_dialog(const Top *t) { return strstr(t->title, MONKEY_FILE_DIALOG) != NULL; }

static int monkey(Window main_window, pid_t pid, uint64_t seed, long events, const char *log_path)
{
    FILE *log = fopen(log_path, "w");
    if (!log) {
        perror(log_path);
        return 1;
    }
    setvbuf(log, NULL, _IOLBF, 0);
    monkey_seed(seed);
    int screen_w = DisplayWidth(d, DefaultScreen(d)), screen_h = DisplayHeight(d, DefaultScreen(d));
    for (long i = 0; i < events; ++i) {
        if (!monkey_alive(pid)) {
            fprintf(stderr, "the program ended after %ld events\n", i);
            return 3;
        }
        Top t;
        if (!topmost(&t))
            t = (Top){ main_window, 0, 0, screen_w, screen_h, "", 0 };
        fprintf(log, "#%ld on 0x%lx %s \"%s\" %dx%d+%d+%d\n", i, (unsigned long)t.w, t.popup ? "popup" : "window",
                t.title, t.width, t.height, t.x, t.y);
        const MonkeyKind kind = monkey_kind();
        const int x = t.x + monkey_below(t.width);
        const int y = t.y + monkey_below(t.height);
        switch (kind) {
        case MONKEY_CLICK:
            click(log, x, y, 1, 1);
            break;
        case MONKEY_DOUBLE_CLICK:
            click(log, x, y, 1, 2);
            break;
        case MONKEY_RIGHT_CLICK:
            if (!file_dialog(&t))
                click(log, x, y, 3, 1);
            break;
        case MONKEY_WHEEL:
            click(log, x, y, 4 + monkey_below(2), 1);
            break;
        case MONKEY_DRAG: {
            const int y1 = t.y + monkey_below(t.height);
            const int x1 = t.x + monkey_below(t.width);
            drag(log, x, y, x1, y1);
            break;
        }
        case MONKEY_ESCAPE:
            key(log, "Escape", XK_Escape, 0);
            break;
        case MONKEY_KEY: {
            const int k = monkey_below((int)(sizeof Keys / sizeof Keys[0]));
            key(log, Keys[k].name, Keys[k].sym, modifier_key(Keys[k].mod));
            break;
        }
        }
        XSync(d, False);
        /* Often enough that a hang is caught right after what caused it. */
        if (i % 25 == 24 || i == events - 1) {
            if (!ping(main_window, 5000)) {
                if (!monkey_alive(pid)) {
                    fprintf(stderr, "the program ended after %ld events\n", i + 1);
                    return 3;
                }
                fprintf(stderr, "the program did not answer within 5 s after %ld events\n", i + 1);
                return 2;
            }
        }
    }
    fclose(log);
    return 0;
}

/* ------------------------------------------------------------ main */

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: xdrive ping|close|settle|monkey ...\n");
        return 1;
    }
    d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xdrive: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    root = DefaultRootWindow(d);
    // Qt sends its answer to a ping with the StructureNotify mask.
    XSelectInput(d, root, SubstructureNotifyMask | StructureNotifyMask);
    const char *cmd = argv[1];
    int result = 1;
    if (!strcmp(cmd, "ping") && argc >= 3) {
        result = ping(strtoul(argv[2], NULL, 0), argc > 3 ? atof(argv[3]) : 5000) ? 0 : 2;
    } else if (!strcmp(cmd, "close") && argc >= 3) {
        close_window(strtoul(argv[2], NULL, 0));
        result = 0;
    } else if (!strcmp(cmd, "settle")) {
        result = settle(argc > 2 ? atof(argv[2]) : 300, argc > 3 ? atof(argv[3]) : 10000);
    } else if (!strcmp(cmd, "monkey") && argc >= 7) {
        result = monkey(strtoul(argv[2], NULL, 0), (pid_t)atoi(argv[3]), strtoull(argv[4], NULL, 0), atol(argv[5]),
                        argv[6]);
    } else {
        fprintf(stderr, "xdrive: bad arguments\n");
    }
    /* Closing waits until the server has read everything sent: what it has
     * not read when a client goes away is dropped with it, and a busy server
     * lost a close request that way now and then. */
    XCloseDisplay(d);
    return result;
}
