/* wlpointer: a pointer (and a keyboard) for a Wayland session that has none.
 * It goes in through the compositor's virtual pointer protocol (wlroots:
 * sway) or, where that is missing, through KWin's fake input protocol, which
 * also types. Reads commands from its arguments, in order:
 *
 *   move X Y          to X,Y in the layout (logical pixels)
 *   down | up         the left button
 *   rdown | rup       the right button
 *   click | rclick    press and release
 *   type TEXT         types TEXT: letters, digits and / . _ - (fake input only)
 *   key NAME          Return, Escape, Tab or BackSpace (fake input only)
 *   wait MS           a pause, for the program to see what happened
 *
 *   wlpointer WIDTH HEIGHT command...   (WIDTH x HEIGHT: the layout's size)
 */
#include "virtual-pointer-unstable-v1-client-protocol.h"
#ifdef HAVE_FAKE_INPUT
#include "fake-input-client-protocol.h"
#endif

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct wl_seat *seat;
#ifdef HAVE_FAKE_INPUT
static struct org_kde_kwin_fake_input *fake;
static uint32_t fake_version;
#endif

static void global(void *data, struct wl_registry *r, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
    if (!strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        manager = wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (!strcmp(interface, wl_seat_interface.name) && !seat)
        seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
#ifdef HAVE_FAKE_INPUT
    else if (!strcmp(interface, org_kde_kwin_fake_input_interface.name)) {
        fake_version = version < 4 ? version : 4;
        fake = wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, fake_version);
    }
#endif
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

/* One of the two ways in: the wlroots virtual pointer, or KWin's fake input. */
static struct zwlr_virtual_pointer_v1 *virtual_pointer;
static uint32_t layout_w, layout_h;

static void move_to(uint32_t x, uint32_t y)
{
#ifdef HAVE_FAKE_INPUT
    if (fake) {
        org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int((int)x), wl_fixed_from_int((int)y));
        return;
    }
#endif
    zwlr_virtual_pointer_v1_motion_absolute(virtual_pointer, now_ms(), x, y, layout_w, layout_h);
    zwlr_virtual_pointer_v1_frame(virtual_pointer);
}

static void button(uint32_t which, int pressed)
{
    const uint32_t state = pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED;
#ifdef HAVE_FAKE_INPUT
    if (fake) {
        org_kde_kwin_fake_input_button(fake, which, state);
        return;
    }
#endif
    zwlr_virtual_pointer_v1_button(virtual_pointer, now_ms(), which, state);
    zwlr_virtual_pointer_v1_frame(virtual_pointer);
}

#ifdef HAVE_FAKE_INPUT
/* The evdev key of a character on a US layout; *shift says it needs Shift. */
static int keycode_of(char c, int *shift)
{
    static const int letters[26] = { KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                     KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                     KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z };
    static const int digits[10] = { KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9 };
    *shift = 0;
    if (c >= 'a' && c <= 'z')
        return letters[c - 'a'];
    if (c >= 'A' && c <= 'Z') {
        *shift = 1;
        return letters[c - 'A'];
    }
    if (c >= '0' && c <= '9')
        return digits[c - '0'];
    switch (c) {
    case '/':
        return KEY_SLASH;
    case '.':
        return KEY_DOT;
    case '-':
        return KEY_MINUS;
    case '_':
        *shift = 1;
        return KEY_MINUS;
    }
    return -1;
}

static int key_named(const char *name)
{
    if (!strcmp(name, "Return"))
        return KEY_ENTER;
    if (!strcmp(name, "Escape"))
        return KEY_ESC;
    if (!strcmp(name, "Tab"))
        return KEY_TAB;
    if (!strcmp(name, "BackSpace"))
        return KEY_BACKSPACE;
    return -1;
}

static void key(struct wl_display *display, int code, int pressed)
{
    org_kde_kwin_fake_input_keyboard_key(fake, (uint32_t)code,
                                         pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_roundtrip(display);
}
#endif

/* Keys need KWin's fake input, version 4. */
static int can_type(void)
{
#ifdef HAVE_FAKE_INPUT
    if (fake && fake_version >= 4)
        return 1;
#endif
    fprintf(stderr, "wlpointer: this compositor takes no keys from here\n");
    return 0;
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
    if (manager) {
        virtual_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    }
#ifdef HAVE_FAKE_INPUT
    else if (fake && fake_version >= 3) {
        // KWin takes the events only once the client has said who it is.
        org_kde_kwin_fake_input_authenticate(fake, "wlpointer", "end-to-end tests drive the program");
    }
#endif
    else {
        fprintf(stderr, "wlpointer: the compositor has neither virtual pointers nor fake input\n");
        return 1;
    }
    layout_w = (uint32_t)atoi(argv[1]);
    layout_h = (uint32_t)atoi(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const char *c = argv[i];
        if (!strcmp(c, "move") && i + 2 < argc) {
            move_to((uint32_t)atoi(argv[i + 1]), (uint32_t)atoi(argv[i + 2]));
            i += 2;
        } else if (!strcmp(c, "down") || !strcmp(c, "up") || !strcmp(c, "rdown") || !strcmp(c, "rup")) {
            button(c[0] == 'r' ? BTN_RIGHT : BTN_LEFT, !strcmp(c, "down") || !strcmp(c, "rdown"));
        } else if (!strcmp(c, "click") || !strcmp(c, "rclick")) {
            const uint32_t which = c[0] == 'r' ? BTN_RIGHT : BTN_LEFT;
            button(which, 1);
            wl_display_roundtrip(display);
            button(which, 0);
        } else if (!strcmp(c, "type") && i + 1 < argc) {
            if (!can_type())
                return 1;
#ifdef HAVE_FAKE_INPUT
            for (const char *t = argv[++i]; *t; ++t) {
                int shift;
                const int code = keycode_of(*t, &shift);
                if (code < 0) {
                    fprintf(stderr, "wlpointer: cannot type '%c'\n", *t);
                    return 1;
                }
                if (shift)
                    key(display, KEY_LEFTSHIFT, 1);
                key(display, code, 1);
                key(display, code, 0);
                if (shift)
                    key(display, KEY_LEFTSHIFT, 0);
            }
#endif
        } else if (!strcmp(c, "key") && i + 1 < argc) {
            if (!can_type())
                return 1;
#ifdef HAVE_FAKE_INPUT
            const int code = key_named(argv[++i]);
            if (code < 0) {
                fprintf(stderr, "wlpointer: what key is '%s'?\n", argv[i]);
                return 1;
            }
            key(display, code, 1);
            key(display, code, 0);
#endif
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
        wl_display_roundtrip(display);
    }
    if (virtual_pointer)
        zwlr_virtual_pointer_v1_destroy(virtual_pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
