/* wlpointer: a pointer for a Wayland session that has none, through the
 * compositor's virtual pointer protocol (wlroots: sway). Reads commands from
 * its arguments, in order:
 *
 *   move X Y          to X,Y in the layout (logical pixels)
 *   down | up         the left button
 *   rdown | rup       the right button
 *   click | rclick    press and release
 *   wait MS           a pause, for the program to see what happened
 *
 *   wlpointer WIDTH HEIGHT command...   (WIDTH x HEIGHT: the layout's size)
 */
#include "virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct wl_seat *seat;

static void global(void *data, struct wl_registry *r, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (!strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        manager = wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (!strcmp(interface, wl_seat_interface.name) && !seat)
        seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
}
static void global_remove(void *data, struct wl_registry *r, uint32_t name)
{
    (void)data;
    (void)r;
    (void)name;
}
static const struct wl_registry_listener listener = { global, global_remove };

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: wlpointer WIDTH HEIGHT command...\n");
        return 1;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wlpointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "wlpointer: the compositor has no virtual pointers\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1 *p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    const uint32_t w = (uint32_t)atoi(argv[1]), h = (uint32_t)atoi(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const char *c = argv[i];
        if (!strcmp(c, "move") && i + 2 < argc) {
            zwlr_virtual_pointer_v1_motion_absolute(p, now_ms(), (uint32_t)atoi(argv[i + 1]), (uint32_t)atoi(argv[i + 2]), w, h);
            i += 2;
        } else if (!strcmp(c, "down") || !strcmp(c, "up") || !strcmp(c, "rdown") || !strcmp(c, "rup")) {
            const uint32_t button = c[0] == 'r' ? BTN_RIGHT : BTN_LEFT;
            const int pressed = !strcmp(c, "down") || !strcmp(c, "rdown");
            zwlr_virtual_pointer_v1_button(p, now_ms(), button, pressed ? WL_POINTER_BUTTON_STATE_PRESSED
                                                                            : WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (!strcmp(c, "click") || !strcmp(c, "rclick")) {
            const uint32_t button = c[0] == 'r' ? BTN_RIGHT : BTN_LEFT;
            zwlr_virtual_pointer_v1_button(p, now_ms(), button, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(p);
            wl_display_roundtrip(display);
            zwlr_virtual_pointer_v1_button(p, now_ms(), button, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (!strcmp(c, "wait") && i + 1 < argc) {
            wl_display_roundtrip(display);
            const long ms = atol(argv[++i]);
            struct timespec ts = { ms / 1000, (ms % 1000) * 1000000L };
            nanosleep(&ts, NULL);
            continue;
        } else {
            fprintf(stderr, "wlpointer: what is '%s'?\n", c);
            return 1;
        }
        zwlr_virtual_pointer_v1_frame(p);
        wl_display_roundtrip(display);
    }
    zwlr_virtual_pointer_v1_destroy(p);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
