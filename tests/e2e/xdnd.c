/* xdnd: drags something onto another program's window over the XDND
 * protocol (version 5), as a file manager or a browser does, but with no
 * pointer and no window of its own on the screen:
 *
 *   xdnd hover|drop X Y TYPE FILE
 *
 * offers FILE's bytes as TYPE (text/uri-list for files, image/png for
 * picture data ...) at the root position X,Y to the XdndAware window there,
 * and prints what the target answers: "accepted ACTION" or "refused", which
 * is what the pointer shows. hover then leaves; drop drops what was accepted
 * and prints "finished ACTION" once the target says it is done.
 * Exit 0: accepted (and, for drop, finished); 3: refused; 2: error or no
 * answer within 10 s. Waiting is on the X connection, never a fixed sleep.
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *d;
static Window root, source;
static Atom type;
static unsigned char *bytes;
static long length;

static Atom atom(const char *name) { return XInternAtom(d, name, False); }

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static int aware(Window w)
{
    Atom actual;
    int format;
    unsigned long n, left;
    unsigned char *data = NULL;
    int found = XGetWindowProperty(d, w, atom("XdndAware"), 0, 1, False, AnyPropertyType, &actual, &format, &n,
                                   &left, &data) == Success
                && actual != None;
    if (data)
        XFree(data);
    return found;
}

/* The outermost XdndAware window under the root position x,y. */
static Window target_at(int x, int y)
{
    Window w = root, child = None;
    int tx, ty;
    for (;;) {
        if (w != root && aware(w))
            return w;
        if (!XTranslateCoordinates(d, root, w, x, y, &tx, &ty, &child) || child == None)
            return None;
        w = child;
    }
}

static void send(Window target, const char *message, long l1, long l2, long l3, long l4)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = atom(message);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)source;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, target, False, NoEventMask, &e);
    XFlush(d);
}

/* The target reads the dragged data as a selection, whenever it likes. */
static void answer_request(const XSelectionRequestEvent *r)
{
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r->requestor;
    reply.xselection.selection = r->selection;
    reply.xselection.target = r->target;
    reply.xselection.time = r->time;
    reply.xselection.property = r->property != None ? r->property : r->target;
    if (r->target == type) {
        XChangeProperty(d, r->requestor, reply.xselection.property, type, 8, PropModeReplace, bytes, (int)length);
    } else if (r->target == atom("TARGETS")) {
        Atom targets[2] = { atom("TARGETS"), type };
        XChangeProperty(d, r->requestor, reply.xselection.property, XA_ATOM, 32, PropModeReplace,
                        (unsigned char *)targets, 2);
    } else {
        reply.xselection.property = None;
    }
    XSendEvent(d, r->requestor, False, NoEventMask, &reply);
    XFlush(d);
}

/* Serves the selection until the target sends `message`; its data.l go to `l`. */
static int wait_for(const char *message, long l[5])
{
    const Atom wanted = atom(message);
    const double deadline = now_ms() + 10000;
    for (;;) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == SelectionRequest) {
                answer_request(&e.xselectionrequest);
            } else if (e.type == ClientMessage && e.xclient.message_type == wanted) {
                memcpy(l, e.xclient.data.l, sizeof e.xclient.data.l);
                return 1;
            }
        }
        const double left = deadline - now_ms();
        if (left <= 0)
            return 0;
        struct pollfd p = { ConnectionNumber(d), POLLIN, 0 };
        poll(&p, 1, (int)left + 1);
    }
}

/* Prints what the target said, with the action's name. */
static void say(const char *what, Atom action)
{
    char *name = action != None ? XGetAtomName(d, action) : NULL;
    printf("%s %s\n", what, name ? name : "none");
    fflush(stdout);
    if (name)
        XFree(name);
}

int main(int argc, char **argv)
{
    if (argc != 6 || (strcmp(argv[1], "hover") && strcmp(argv[1], "drop"))) {
        fprintf(stderr, "usage: xdnd hover|drop X Y TYPE FILE\n");
        return 2;
    }
    const int drop = !strcmp(argv[1], "drop");
    const int x = atoi(argv[2]), y = atoi(argv[3]);
    FILE *f = fopen(argv[5], "rb");
    if (!f) {
        perror(argv[5]);
        return 2;
    }
    fseek(f, 0, SEEK_END);
    length = ftell(f);
    rewind(f);
    bytes = malloc(length > 0 ? (size_t)length : 1);
    if (fread(bytes, 1, (size_t)length, f) != (size_t)length) {
        perror(argv[5]);
        return 2;
    }
    fclose(f);

    d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xdnd: cannot open the display\n");
        return 2;
    }
    root = DefaultRootWindow(d);
    type = atom(argv[4]);
    source = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(d, source, PropertyChangeMask);
    XSetSelectionOwner(d, atom("XdndSelection"), source, CurrentTime);
    const Window target = target_at(x, y);
    if (target == None) {
        fprintf(stderr, "xdnd: no window at %d,%d takes drops\n", x, y);
        return 2;
    }

    long l[5];
    send(target, "XdndEnter", 5L << 24, (long)type, None, None);
    send(target, "XdndPosition", 0, ((long)x << 16) | (y & 0xffff), CurrentTime, (long)atom("XdndActionCopy"));
    if (!wait_for("XdndStatus", l)) {
        fprintf(stderr, "xdnd: the target did not answer\n");
        return 2;
    }
    if (!(l[1] & 1)) {
        printf("refused\n");
        send(target, "XdndLeave", 0, 0, 0, 0);
        return 3;
    }
    say("accepted", (Atom)l[4]);
    if (!drop) {
        send(target, "XdndLeave", 0, 0, 0, 0);
        return 0;
    }
    send(target, "XdndDrop", 0, CurrentTime, 0, 0);
    if (!wait_for("XdndFinished", l)) {
        fprintf(stderr, "xdnd: the drop was never finished\n");
        return 2;
    }
    say((l[1] & 1) ? "finished" : "finished, refused:", (Atom)l[2]);
    XCloseDisplay(d);
    free(bytes);
    return (l[1] & 1) ? 0 : 3;
}
