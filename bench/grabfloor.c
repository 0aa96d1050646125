/* grabfloor: the floor for showing a frozen screen. One MIT-SHM grab of the
 * whole screen and one full-screen put of that picture into a window that is
 * already mapped, timed from the grab to the X server having done the put.
 * Nothing a selector does can be cheaper; bench/capture.sh compares with it.
 *
 *   grabfloor        prints floor_ms=<ms> client_ms=<ms>
 *
 * floor_ms is in the X server's own time, as bench/clicktime.c measures the
 * selector: the stamps of two property changes, one sent just before the
 * grab and one just after the put (whole milliseconds). client_ms is the
 * same stretch on this program's clock, which also counts how long a busy
 * machine takes to run this program again after each reply.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

int main(void)
{
    Display *d = XOpenDisplay(NULL);
    if (!d || !XShmQueryExtension(d)) {
        fprintf(stderr, "grabfloor: no display with MIT-SHM\n");
        return 1;
    }
    const int s = DefaultScreen(d);
    const Window root = RootWindow(d, s);
    const int w = DisplayWidth(d, s), h = DisplayHeight(d, s);

    XSetWindowAttributes a = { 0 };
    a.override_redirect = True;
    a.event_mask = StructureNotifyMask | ExposureMask | PropertyChangeMask;
    Window win = XCreateWindow(d, root, 0, 0, (unsigned)w, (unsigned)h, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
    XMapWindow(d, win);
    for (XEvent e;;) {
        XNextEvent(d, &e);
        if (e.type == Expose)
            break;
    }
    GC gc = XCreateGC(d, win, 0, NULL);

    XShmSegmentInfo info;
    XImage *image = XShmCreateImage(d, DefaultVisual(d, s), (unsigned)DefaultDepth(d, s), ZPixmap, NULL, &info,
                                    (unsigned)w, (unsigned)h);
    info.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * (size_t)h, IPC_CREAT | 0600);
    info.shmaddr = image->data = shmat(info.shmid, NULL, 0);
    info.readOnly = False;
    XShmAttach(d, &info);
    XSync(d, False);
    shmctl(info.shmid, IPC_RMID, NULL);

    const Atom clock = XInternAtom(d, "LUMARO_GRABFLOOR", False);
    XSync(d, True);
    const double t0 = now_ms();
    XChangeProperty(d, win, clock, XA_INTEGER, 32, PropModeAppend, NULL, 0);
    XShmGetImage(d, root, image, 0, 0, AllPlanes);
    XShmPutImage(d, win, gc, image, 0, 0, 0, 0, (unsigned)w, (unsigned)h, False);
    XChangeProperty(d, win, clock, XA_INTEGER, 32, PropModeAppend, NULL, 0);
    XSync(d, False);
    const double t1 = now_ms();
    Time stamps[2];
    for (int n = 0; n < 2;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == PropertyNotify && e.xproperty.atom == clock)
            stamps[n++] = e.xproperty.time;
    }
    printf("floor_ms=%d client_ms=%.2f\n", (int)(int32_t)(uint32_t)(stamps[1] - stamps[0]), t1 - t0);

    XShmDetach(d, &info);
    shmdt(info.shmaddr);
    XCloseDisplay(d);
    return 0;
}
