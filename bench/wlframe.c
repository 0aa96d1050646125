/* wlframe: on a wlroots compositor (sway), the time from a click to the
 * first frame the compositor presents with a change at a watched pixel, and
 * the floor that a full-screen capture's first frame is measured against.
 *
 *   wlframe WIDTH HEIGHT click X Y PX PY
 *       Rests the pointer on X,Y, clicks the left button through the virtual
 *       pointer protocol and watches the 4x4 pixels at PX,PY (layout pixels
 *       of the first output) through the screen copy protocol, with damage:
 *       each frame the compositor presents with any change on the output is
 *       copied there, as it is committed. Prints the time from the press to
 *       the first presented frame whose watched pixels differ from before the
 *       click:  frame_ms=…
 *   wlframe WIDTH HEIGHT floor PX PY
 *       The least a capture's first frame can cost: one screen copy of the
 *       whole output into shared memory, then a new full-screen window with
 *       that buffer attached and committed, until the compositor presents it.
 *       The watched pixels are inverted in the buffer, so the same watch
 *       times it: frame_ms=… from the start of the copy (and presented_ms=…,
 *       its presentation-time feedback, where the compositor sends one;
 *       sway's headless output does not).
 *
 * A frame's time is the compositor's own: the time it gives with the copy
 * of that frame (the screen copy's "ready", stamped as the frame is
 * committed to the output), in the clock it presents in (wp_presentation's,
 * CLOCK_MONOTONIC on wlroots). The press and the floor's start are read from
 * that clock just before they are sent, so a busy machine that is slow to run
 * this program after the frame does not lengthen the figures. Exit 0; 1 set-up; 2 nothing changed within 10 s.
 */
#define _GNU_SOURCE
#include "presentation-time-client-protocol.h"
#include "virtual-pointer-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

enum { Probe = 4, TimeoutMs = 10000 };

static struct wl_display *display;
static struct wl_shm *shm;
static struct wl_output *output;
static struct wl_seat *seat;
static struct wl_compositor *compositor;
static struct xdg_wm_base *wm_base;
static struct wp_presentation *presentation;
static struct zwlr_screencopy_manager_v1 *screencopy;
static struct zwlr_virtual_pointer_manager_v1 *pointers;
static clockid_t clock_id = CLOCK_MONOTONIC;

static void die(const char *what)
{
    fprintf(stderr, "wlframe: %s\n", what);
    exit(1);
}

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(clock_id, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static double stamp_ms(uint32_t sec_hi, uint32_t sec_lo, uint32_t nsec)
{
    return (double)(((uint64_t)sec_hi << 32) | sec_lo) * 1e3 + nsec / 1e6;
}

/* ------------------------------------------------------------ globals */

static void clock_event(void *data, struct wp_presentation *p, uint32_t id)
{
    (void)data;
    (void)p;
    clock_id = (clockid_t)id;
}
static const struct wp_presentation_listener presentation_listener = { clock_event };

static void ping(void *data, struct xdg_wm_base *b, uint32_t serial)
{
    (void)data;
    xdg_wm_base_pong(b, serial);
}
static const struct xdg_wm_base_listener wm_base_listener = { ping };

static void global(void *data, struct wl_registry *r, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
#define BIND(var, iface, v) \
    if (!strcmp(interface, iface.name) && !var) { var = wl_registry_bind(r, name, &iface, version < v ? version : v); return; }
    BIND(shm, wl_shm_interface, 1)
    BIND(output, wl_output_interface, 1)
    BIND(seat, wl_seat_interface, 1)
    BIND(compositor, wl_compositor_interface, 4)
    BIND(wm_base, xdg_wm_base_interface, 1)
    BIND(presentation, wp_presentation_interface, 1)
    BIND(screencopy, zwlr_screencopy_manager_v1_interface, 3)
    BIND(pointers, zwlr_virtual_pointer_manager_v1_interface, 1)
#undef BIND
}
static void global_remove(void *data, struct wl_registry *r, uint32_t name)
{
    (void)data;
    (void)r;
    (void)name;
}
static const struct wl_registry_listener registry_listener = { global, global_remove };

/* ------------------------------------------------------------ shared memory */

typedef struct {
    struct wl_buffer *buffer;
    uint8_t *data;
    size_t size;
    uint32_t format, width, height, stride;
} Shm;

static void shm_make(Shm *s, uint32_t format, uint32_t width, uint32_t height, uint32_t stride)
{
    s->format = format, s->width = width, s->height = height, s->stride = stride;
    s->size = (size_t)stride * height;
    int fd = memfd_create("wlframe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, (off_t)s->size) < 0)
        die("no shared memory");
    s->data = mmap(NULL, s->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (s->data == MAP_FAILED)
        die("no shared memory");
    struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, (int32_t)s->size);
    s->buffer = wl_shm_pool_create_buffer(pool, 0, (int32_t)width, (int32_t)height, (int32_t)stride, format);
    wl_shm_pool_destroy(pool);
    close(fd);
}

/* ------------------------------------------------------------ screen copies */

typedef struct {
    struct zwlr_screencopy_frame_v1 *frame;
    Shm shm;
    int offered, described, ready, failed, damage;
    double when;
} Copy;

static void copy_buffer(void *data, struct zwlr_screencopy_frame_v1 *f, uint32_t format, uint32_t w, uint32_t h,
                        uint32_t stride)
{
    (void)f;
    Copy *c = data;
    if (!c->offered)
        shm_make(&c->shm, format, w, h, stride);
    c->offered = 1;
}
static void copy_flags(void *data, struct zwlr_screencopy_frame_v1 *f, uint32_t flags)
{
    (void)data, (void)f, (void)flags;
}
static void copy_ready(void *data, struct zwlr_screencopy_frame_v1 *f, uint32_t hi, uint32_t lo, uint32_t ns)
{
    (void)f;
    Copy *c = data;
    c->ready = 1;
    c->when = stamp_ms(hi, lo, ns);
}
static void copy_failed(void *data, struct zwlr_screencopy_frame_v1 *f)
{
    (void)f;
    ((Copy *)data)->failed = 1;
}
static void copy_damage(void *data, struct zwlr_screencopy_frame_v1 *f, uint32_t x, uint32_t y, uint32_t w,
                        uint32_t h)
{
    (void)f, (void)x, (void)y, (void)w, (void)h;
    ((Copy *)data)->damage = 1;
}
static void copy_dmabuf(void *data, struct zwlr_screencopy_frame_v1 *f, uint32_t format, uint32_t w, uint32_t h)
{
    (void)data, (void)f, (void)format, (void)w, (void)h;
}
static void copy_done(void *data, struct zwlr_screencopy_frame_v1 *f)
{
    (void)f;
    ((Copy *)data)->described = 1;
}
static const struct zwlr_screencopy_frame_v1_listener copy_listener = {
    copy_buffer, copy_flags, copy_ready, copy_failed, copy_damage, copy_dmabuf, copy_done,
};

/* Dispatches until *flag is set; 0 after ms milliseconds without it. */
static int dispatch_within(const int *flag, int ms)
{
    double end = now_ms() + ms;
    while (!*flag) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        if (*flag) {
            wl_display_cancel_read(display);
            break;
        }
        wl_display_flush(display);
        int left = (int)(end - now_ms());
        if (left <= 0) {
            wl_display_cancel_read(display);
            return 0;
        }
        struct pollfd p = { wl_display_get_fd(display), POLLIN, 0 };
        if (poll(&p, 1, left) > 0)
            wl_display_read_events(display);
        else
            wl_display_cancel_read(display);
        wl_display_dispatch_pending(display);
    }
    return 1;
}

static int dispatch_until(const int *flag)
{
    return dispatch_within(flag, TimeoutMs);
}

/* Starts a copy of the region (whole output when w == 0); the buffer is made
 * from the compositor's offer and reused by later copies of the same size. */
static void copy_start(Copy *c, int x, int y, int w, int h, int with_damage)
{
    Shm keep = c->shm;
    memset(c, 0, sizeof *c);
    c->shm = keep;
    c->offered = keep.buffer != NULL;
    c->frame = w ? zwlr_screencopy_manager_v1_capture_output_region(screencopy, 0, output, x, y, w, h)
                 : zwlr_screencopy_manager_v1_capture_output(screencopy, 0, output);
    zwlr_screencopy_frame_v1_add_listener(c->frame, &copy_listener, c);
    /* Version 3 ends the offer with buffer_done; before it, the one buffer
     * event is the whole offer. */
    if (zwlr_screencopy_manager_v1_get_version(screencopy) >= 3) {
        if (!dispatch_until(&c->described))
            die("the screen copy offered no buffer");
    } else if (!dispatch_until(&c->offered)) {
        die("the screen copy offered no buffer");
    }
    if (!c->shm.buffer)
        die("the screen copy offers no shared-memory buffer");
    if (with_damage)
        zwlr_screencopy_frame_v1_copy_with_damage(c->frame, c->shm.buffer);
    else
        zwlr_screencopy_frame_v1_copy(c->frame, c->shm.buffer);
    wl_display_flush(display);
}

static void copy_end(Copy *c)
{
    zwlr_screencopy_frame_v1_destroy(c->frame);
    c->frame = NULL;
}

/* The watch: the pixels of a small region, compared with those before. */
static int probe_x, probe_y;
static uint8_t before[Probe * Probe * 4];

static int probe_differs(const Copy *c)
{
    for (uint32_t row = 0; row < c->shm.height; row++)
        if (memcmp(c->shm.data + row * c->shm.stride, before + row * Probe * 4, Probe * 4))
            return 1;
    return 0;
}

static void probe_remember(const Copy *c)
{
    for (uint32_t row = 0; row < c->shm.height; row++)
        memcpy(before + row * Probe * 4, c->shm.data + row * c->shm.stride, Probe * 4);
}

/* The watched pixels as they are now (a plain copy, served with the next
 * frame), then a copy with damage left under way for watch(). */
static void watch_begin(Copy *c)
{
    copy_start(c, probe_x, probe_y, Probe, Probe, 0);
    if (!dispatch_until(&c->ready) || c->failed)
        die("the first screen copy failed");
    probe_remember(c);
    copy_end(c);
    copy_start(c, probe_x, probe_y, Probe, Probe, 1);
}

/* Waits for the first presented frame whose watched pixels change, copying
 * each damaged frame; returns its time, or 0 after TimeoutMs. The first copy
 * must already be under way. */
static double watch(Copy *c, void (*between)(void))
{
    double end = now_ms() + TimeoutMs;
    for (;;) {
        int done = 0;
        while (!c->ready && !c->failed && !done) {
            if (between) {
                between();
                between = NULL;
            }
            done = !dispatch_until(&c->ready) && !c->failed;
        }
        if (c->failed)
            die("a screen copy failed");
        if (done || now_ms() > end)
            return 0;
        double when = c->when;
        int changed = probe_differs(c);
        copy_end(c);
        if (changed)
            return when;
        copy_start(c, probe_x, probe_y, Probe, Probe, 1);
    }
}

/* ------------------------------------------------------------ click */

static struct zwlr_virtual_pointer_v1 *pointer;
static uint32_t layout_w, layout_h;
static double pressed_at;

static uint32_t ms32(void)
{
    return (uint32_t)(uint64_t)now_ms();
}

static void press(void)
{
    pressed_at = now_ms();
    zwlr_virtual_pointer_v1_button(pointer, ms32(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, ms32(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_flush(display);
}

static int click(int x, int y)
{
    if (!pointers || !seat)
        die("the compositor has no virtual pointer");
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    zwlr_virtual_pointer_v1_motion_absolute(pointer, ms32(), (uint32_t)x, (uint32_t)y, layout_w, layout_h);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);

    /* What the watched pixels show before the click, once the screen has
     * been at rest (no damaged frame) for 300 ms. */
    Copy c = { 0 };
    watch_begin(&c);
    double give_up = now_ms() + TimeoutMs;
    while (dispatch_within(&c.ready, 300)) {
        if (c.failed)
            die("a screen copy failed");
        probe_remember(&c);
        copy_end(&c);
        copy_start(&c, probe_x, probe_y, Probe, Probe, 1);
        if (now_ms() > give_up)
            die("the screen never came to rest");
    }
    /* The copy with damage is still pending: the click goes out, and the
     * first changed frame after it is the one that counts. */
    double when = watch(&c, press);
    if (!when)
        return 2;
    printf("frame_ms=%.2f\n", when - pressed_at);
    return 0;
}

/* ------------------------------------------------------------ floor */

static int presented;
static double presented_at;
static struct wl_surface *floor_surface;
static struct wl_buffer *floor_buffer;
static const struct wp_presentation_feedback_listener feedback_listener;

/* Every configure is answered with the buffer: sway shows the window only
 * once the configure that makes it full-screen is acknowledged. Each commit
 * asks for feedback; the first one presented counts. */
static void surface_configure(void *data, struct xdg_surface *s, uint32_t serial)
{
    (void)data;
    xdg_surface_ack_configure(s, serial);
    wl_surface_attach(floor_surface, floor_buffer, 0, 0);
    wl_surface_damage(floor_surface, 0, 0, INT32_MAX, INT32_MAX);
    struct wp_presentation_feedback *fb = wp_presentation_feedback(presentation, floor_surface);
    wp_presentation_feedback_add_listener(fb, &feedback_listener, NULL);
    wl_surface_commit(floor_surface);
    wl_display_flush(display);
}
static const struct xdg_surface_listener surface_listener = { surface_configure };

static void toplevel_configure(void *data, struct xdg_toplevel *t, int32_t w, int32_t h, struct wl_array *states)
{
    (void)data, (void)t, (void)w, (void)h, (void)states;
}
static void toplevel_close(void *data, struct xdg_toplevel *t)
{
    (void)data, (void)t;
}
static const struct xdg_toplevel_listener toplevel_listener = { .configure = toplevel_configure,
                                                                 .close = toplevel_close };

static void fb_sync_output(void *data, struct wp_presentation_feedback *f, struct wl_output *o)
{
    (void)data, (void)f, (void)o;
}
static void fb_presented(void *data, struct wp_presentation_feedback *f, uint32_t hi, uint32_t lo, uint32_t ns,
                         uint32_t refresh, uint32_t seq_hi, uint32_t seq_lo, uint32_t flags)
{
    (void)data, (void)refresh, (void)seq_hi, (void)seq_lo, (void)flags;
    if (!presented) {
        presented_at = stamp_ms(hi, lo, ns);
        presented = 1;
    }
    wp_presentation_feedback_destroy(f);
}
static void fb_discarded(void *data, struct wp_presentation_feedback *f)
{
    (void)data;
    wp_presentation_feedback_destroy(f);
}
static const struct wp_presentation_feedback_listener feedback_listener = { fb_sync_output, fb_presented,
                                                                             fb_discarded };

static double floor_start;

/* The floor itself, started where the click would be. */
static void floor_run(void)
{
    floor_start = now_ms();
    Copy whole = { 0 };
    copy_start(&whole, 0, 0, 0, 0, 0);
    if (!dispatch_until(&whole.ready) || whole.failed)
        die("the whole screen's copy failed");
    /* The watched pixels, inverted (the compositor's layout and the output's
     * pixels agree at scale 1, as on the bench's headless output). */
    for (int row = 0; row < Probe; row++)
        for (int col = 0; col < Probe * 4; col++)
            whole.shm.data[(size_t)(probe_y + row) * whole.shm.stride + (size_t)probe_x * 4 + col] ^= 0xff;

    floor_buffer = whole.shm.buffer;
    floor_surface = wl_compositor_create_surface(compositor);
    struct xdg_surface *xs = xdg_wm_base_get_xdg_surface(wm_base, floor_surface);
    xdg_surface_add_listener(xs, &surface_listener, NULL);
    struct xdg_toplevel *top = xdg_surface_get_toplevel(xs);
    xdg_toplevel_add_listener(top, &toplevel_listener, NULL);
    xdg_toplevel_set_title(top, "wlframe floor");
    xdg_toplevel_set_fullscreen(top, output);
    wl_surface_commit(floor_surface);
    wl_display_flush(display);
    pressed_at = floor_start;
}

static int floor_mode(void)
{
    if (!compositor || !wm_base || !presentation)
        die("the compositor lacks xdg-shell or presentation-time");
    Copy c = { 0 };
    watch_begin(&c);
    double seen = watch(&c, floor_run);
    if (!seen)
        return 2;
    /* Presentation feedback, where the compositor sends it (sway's
     * headless output does not). */
    dispatch_within(&presented, 200);
    printf("frame_ms=%.2f", seen - floor_start);
    if (presented)
        printf(" presented_ms=%.2f", presented_at - floor_start);
    printf("\n");
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 6)
        die("usage: wlframe WIDTH HEIGHT click X Y PX PY | WIDTH HEIGHT floor PX PY");
    layout_w = (uint32_t)atoi(argv[1]);
    layout_h = (uint32_t)atoi(argv[2]);
    const char *mode = argv[3];
    display = wl_display_connect(NULL);
    if (!display)
        die("no Wayland display");
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!shm || !output || !screencopy)
        die("the compositor has no screen copy");
    if (presentation)
        wp_presentation_add_listener(presentation, &presentation_listener, NULL);
    if (wm_base)
        xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);
    wl_display_roundtrip(display);

    if (!strcmp(mode, "click") && argc == 8) {
        probe_x = atoi(argv[6]), probe_y = atoi(argv[7]);
        return click(atoi(argv[4]), atoi(argv[5]));
    }
    if (!strcmp(mode, "floor") && argc == 6) {
        probe_x = atoi(argv[4]), probe_y = atoi(argv[5]);
        int r = floor_mode();
        wl_display_roundtrip(display);
        return r;
    }
    die("usage: wlframe WIDTH HEIGHT click X Y PX PY | WIDTH HEIGHT floor PX PY");
}
