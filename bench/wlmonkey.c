/* wlmonkey: random clicks, drags, wheel turns and keys for a program under
 * sway, the Wayland counterpart of `xdrive monkey` (the same mix and the
 * same draws for a seed: tests/e2e/monkey.h). One virtual pointer and one
 * virtual keyboard, made once, go through the compositor as real devices'
 * input does; keys go to whatever has the focus. Each event is aimed, as on
 * a plain X server, at the window on top there: the full-screen selector,
 * else the newest window (a dialog's question, a dialog, else the main
 * window), brought to the front first where sway stacked another over it;
 * the whole output when none is up (sway's tree, read over its IPC socket
 * for each event). Menus and other pop-ups are not in sway's tree; they are
 * reached where they open, over their window. A window mostly past the
 * output's edge (sway places a window that grew so) is put back in the
 * middle first, as a person would.
 *
 *   bench_wlmonkey WIDTH HEIGHT PID SEED EVENTS LOG -- PING...
 *       EVENTS events; LOG gets one line per event (the window it went to:
 *       sway's id, "window" or "desktop", title, size; then what it did).
 *       Every 25 events and after the last, the command PING must end with
 *       status 0 within 10 s: it asks the program something that only its
 *       main thread answers. Exit 3 when the program ended, 2 when it is
 *       still there but did not answer, 0 else.
 *   bench_wlmonkey WIDTH HEIGHT rest
 *       Escape, each time to the window on top, until only the main window
 *       is up (at most ten times), then twice more for a menu over it.
 *       Exit 1 when something stayed.
 *
 * WIDTH x HEIGHT is the layout's size, as the pointer counts. Needs
 * WAYLAND_DISPLAY and SWAYSOCK.
 */
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "virtual-pointer-unstable-v1-client-protocol.h"

#include "monkey.h"

#include <errno.h>
#include <linux/input-event-codes.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

/* ------------------------------------------------------------ the devices */

static struct wl_display *display;
static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *pointer_manager;
static struct zwp_virtual_keyboard_manager_v1 *keyboard_manager;
static struct zwlr_virtual_pointer_v1 *pointer;
static struct zwp_virtual_keyboard_v1 *keyboard;
static uint32_t layout_w, layout_h;

static void global(void *data, struct wl_registry *r, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (!strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name))
        pointer_manager = wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (!strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name))
        keyboard_manager = wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    else if (!strcmp(interface, wl_seat_interface.name) && !seat)
        seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
}
static void global_remove(void *data, struct wl_registry *r, uint32_t name)
{
    (void)data;
    (void)r;
    (void)name;
}
static const struct wl_registry_listener registry_listener = { global, global_remove };

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

/* A US keyboard, compiled by the compositor from the system's XKB data.
 * Its modifier masks: Shift 1, Control 4, Alt (Mod1) 8. */
static const char keymap_text[] = "xkb_keymap {\n"
                                  "  xkb_keycodes { include \"evdev+aliases(qwerty)\" };\n"
                                  "  xkb_types { include \"complete\" };\n"
                                  "  xkb_compat { include \"complete\" };\n"
                                  "  xkb_symbols { include \"pc+us+inet(evdev)\" };\n"
                                  "};\n";

static int make_devices(void)
{
    display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wlmonkey: no Wayland display\n");
        return 0;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !pointer_manager || !keyboard_manager) {
        fprintf(stderr, "wlmonkey: the compositor offers no virtual pointer or keyboard\n");
        return 0;
    }
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointer_manager, seat);
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboard_manager, seat);
    /* The keymap's text with its closing NUL, as the compositor reads it. */
    const int fd = memfd_create("wlmonkey-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, keymap_text, sizeof keymap_text) != (ssize_t)sizeof keymap_text) {
        perror("wlmonkey: keymap");
        return 0;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, sizeof keymap_text);
    wl_display_roundtrip(display);
    close(fd);
    return 1;
}

static void move_to(int x, int y)
{
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), (uint32_t)x, (uint32_t)y, layout_w, layout_h);
    zwlr_virtual_pointer_v1_frame(pointer);
}

static void button(uint32_t which, int pressed)
{
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), which,
                                   pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
}

static void wheel(int down)
{
    zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(pointer, now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_int(down ? 15 : -15), down ? 1 : -1);
    zwlr_virtual_pointer_v1_frame(pointer);
}

static void key_event(uint32_t code, int pressed)
{
    zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code,
                                pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

/* A key, with its modifier held around it: the modifier's own key goes in
 * as well as the mask, as a real keyboard's would. */
static void key(FILE *log, const char *name, uint32_t code, int mod)
{
    static const struct { uint32_t code, mask; } mods[] = {
        [MONKEY_SHIFT] = { KEY_LEFTSHIFT, 1 }, [MONKEY_CTRL] = { KEY_LEFTCTRL, 4 }, [MONKEY_ALT] = { KEY_LEFTALT, 8 }
    };
    if (log)
        fprintf(log, "key %s\n", name);
    if (mod) {
        key_event(mods[mod].code, 1);
        zwp_virtual_keyboard_v1_modifiers(keyboard, mods[mod].mask, 0, 0, 0);
    }
    key_event(code, 1);
    key_event(code, 0);
    if (mod) {
        key_event(mods[mod].code, 0);
        zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
    }
}

static void click(FILE *log, int x, int y, uint32_t which, int times)
{
    fprintf(log, "click %d %d button %s x%d\n", x, y, which == BTN_LEFT ? "left" : "right", times);
    move_to(x, y);
    for (int i = 0; i < times; ++i) {
        button(which, 1);
        button(which, 0);
    }
}

static void drag(FILE *log, int x0, int y0, int x1, int y1)
{
    fprintf(log, "drag %d %d -> %d %d\n", x0, y0, x1, y1);
    move_to(x0, y0);
    button(BTN_LEFT, 1);
    for (int s = 1; s <= 4; ++s)
        move_to(x0 + (x1 - x0) * s / 4, y0 + (y1 - y0) * s / 4);
    button(BTN_LEFT, 0);
}

/* ------------------------------------------------------------ sway's tree */

typedef struct {
    long id;
    int x, y, width, height;
    int window; /* 0: no window is up, the events go to the bare output */
    int buried; /* another window is stacked above it */
    char title[128];
} Target;

/* sway's IPC socket, kept open for the whole run. */
static int ipc = -1;

static int ipc_connect(void)
{
    const char *path = getenv("SWAYSOCK");
    if (!path)
        return 0;
    struct sockaddr_un address = { .sun_family = AF_UNIX };
    snprintf(address.sun_path, sizeof address.sun_path, "%s", path);
    ipc = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ipc >= 0 && connect(ipc, (struct sockaddr *)&address, sizeof address) == 0)
        return 1;
    if (ipc >= 0)
        close(ipc);
    ipc = -1;
    return 0;
}

static int read_all(int fd, void *buffer, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, (char *)buffer + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        got += (size_t)n;
    }
    return 1;
}

/* One message over sway's IPC socket (a type, a payload); the reply's text
 * (free it), or NULL. */
static char *sway_ipc(uint32_t type, const char *payload)
{
    if (ipc < 0 && !ipc_connect())
        return NULL;
    char header[14] = "i3-ipc";
    uint32_t sizes[2] = { (uint32_t)strlen(payload), type };
    memcpy(header + 6, sizes, sizeof sizes);
    char *reply = NULL;
    if (write(ipc, header, sizeof header) == (ssize_t)sizeof header
        && write(ipc, payload, sizes[0]) == (ssize_t)sizes[0] && read_all(ipc, header, sizeof header)) {
        memcpy(sizes, header + 6, sizeof sizes);
        reply = malloc((size_t)sizes[0] + 1);
        if (reply && read_all(ipc, reply, sizes[0])) {
            reply[sizes[0]] = 0;
            return reply;
        }
    }
    /* Whatever went wrong, the next message starts on a fresh connection. */
    free(reply);
    close(ipc);
    ipc = -1;
    return NULL;
}

/* The number after "key": at or after from; 0 when there is none. */
static long number_after(const char *from, const char *key)
{
    const char *at = strstr(from, key);
    return at ? strtol(at + strlen(key) + strspn(at + strlen(key), " :"), NULL, 10) : 0;
}

/* One of the program's windows on the screen, from sway's tree. */
typedef struct {
    long id;
    int x, y, width, height;
    int fullscreen;
    char title[128];
} View;

/* The windows on the screen (any client's: only the program has any),
 * bottom to top. In sway's tree a window's node lists its id, full-screen
 * mode, rectangle and name, then its pid, then whether it is visible, and
 * holds no nodes of its own. */
static int views(View *out, int max)
{
    char *tree = sway_ipc(4 /* GET_TREE */, "");
    if (!tree)
        return 0;
    int n = 0;
    for (const char *pid = strstr(tree, "\"pid\""); pid && n < max; pid = strstr(pid + 5, "\"pid\"")) {
        const char *id = pid;
        while (id > tree && strncmp(id, "\"id\"", 4))
            --id;
        const char *visible = strstr(pid, "\"visible\"");
        if (!visible || strncmp(visible + 9 + strspn(visible + 9, " :"), "true", 4))
            continue;
        View v = { .id = number_after(id, "\"id\""), .fullscreen = number_after(id, "\"fullscreen_mode\"") != 0 };
        const char *rect = strstr(id, "\"rect\"");
        if (!rect)
            continue;
        v.x = (int)number_after(rect, "\"x\"");
        v.y = (int)number_after(rect, "\"y\"");
        v.width = (int)number_after(rect, "\"width\"");
        v.height = (int)number_after(rect, "\"height\"");
        const char *name = strstr(id, "\"name\"");
        if (name && (name = strchr(name + 6, '"')) != NULL) {
            size_t k = 0;
            for (++name; *name && *name != '"' && k + 1 < sizeof v.title; ++name) {
                if (*name == '\\' && name[1])
                    ++name;
                v.title[k++] = *name;
            }
            v.title[k] = 0;
        }
        if (v.width > 0 && v.height > 0)
            out[n++] = v;
    }
    free(tree);
    return n;
}

/* Where the next event goes, as on a plain X server, where the window
 * mapped last is on top and a dialog stays above the window it belongs to:
 * a full-screen window (the selector) before all, else the newest window
 * (sway's highest id: a dialog's question over the dialog, a dialog over
 * the main window). sway stacks them as they were last clicked or
 * activated, which may bury a dialog under the window it blocks: the
 * target says so. Sets *main_id, the oldest window's (the main window).
 * 0 when no window is up. */
static int target(Target *t, long *main_id)
{
    View v[32];
    const int n = views(v, 32);
    if (n == 0)
        return 0;
    int oldest = 0, pick = -1;
    for (int i = 0; i < n; ++i) {
        if (v[i].id < v[oldest].id)
            oldest = i;
        if (v[i].fullscreen)
            pick = i;
    }
    if (pick < 0) {
        pick = 0;
        for (int i = 1; i < n; ++i)
            if (v[i].id > v[pick].id)
                pick = i;
    }
    *main_id = v[oldest].id;
    *t = (Target){ v[pick].id, v[pick].x, v[pick].y, v[pick].width, v[pick].height, 1, !v[pick].fullscreen && pick != n - 1, "" };
    memcpy(t->title, v[pick].title, sizeof t->title);
    return 1;
}

/* A command to sway (RUN_COMMAND), as a person would give it; 1 when done. */
static int sway_command(const char *command)
{
    char *reply = sway_ipc(0, command);
    const int done = reply && strstr(reply, "\"success\": true") != NULL;
    free(reply);
    return done;
}

/* Less than a quarter of the window is on the output. */
static int mostly_off_screen(const Target *t)
{
    const long w = (t->x + t->width < (int)layout_w ? t->x + t->width : (int)layout_w) - (t->x > 0 ? t->x : 0);
    const long h = (t->y + t->height < (int)layout_h ? t->y + t->height : (int)layout_h) - (t->y > 0 ? t->y : 0);
    return w <= 0 || h <= 0 || 4 * w * h < (long)t->width * t->height;
}

/* Only the part of a window on the output is aimed at: a floating window
 * may reach past its edge, where the pointer cannot go. */
static void on_screen(Target *t)
{
    const int x0 = t->x > 0 ? t->x : 0, y0 = t->y > 0 ? t->y : 0;
    const int x1 = t->x + t->width < (int)layout_w ? t->x + t->width : (int)layout_w;
    const int y1 = t->y + t->height < (int)layout_h ? t->y + t->height : (int)layout_h;
    if (x1 - x0 < 1 || y1 - y0 < 1) {
        t->x = t->y = 0;
        t->width = (int)layout_w;
        t->height = (int)layout_h;
        return;
    }
    t->x = x0;
    t->y = y0;
    t->width = x1 - x0;
    t->height = y1 - y0;
}

/* ------------------------------------------------------------ the run */

/* Runs the ping command; 1 when it ended with status 0 within 10 s. */
static int ping(char **command)
{
    const pid_t child = fork();
    if (child < 0)
        return 0;
    if (child == 0) {
        execvp(command[0], command);
        perror(command[0]);
        _exit(127);
    }
    for (int waited = 0; waited < 10000; waited += 10) {
        int status;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        const struct timespec pause = { 0, 10 * 1000000L };
        nanosleep(&pause, NULL);
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    return 0;
}

#define K_CODE(name, xsym, evdev, mod) { name, evdev, mod },
static const struct { const char *name; uint32_t code; int mod; } Keys[] = { MONKEY_KEYS(K_CODE) };

static int monkey(pid_t pid, uint64_t seed, long events, const char *log_path, char **ping_command)
{
    FILE *log = fopen(log_path, "w");
    if (!log) {
        perror(log_path);
        return 1;
    }
    setvbuf(log, NULL, _IOLBF, 0);
    monkey_seed(seed);
    for (long i = 0; i < events; ++i) {
        if (!monkey_alive(pid)) {
            fprintf(stderr, "the program ended after %ld events\n", i);
            return 3;
        }
        Target t;
        long main_id;
        if (!target(&t, &main_id)) {
            t = (Target){ 0, 0, 0, (int)layout_w, (int)layout_h, 0, 0, "" };
        } else if (t.buried) {
            /* Brought to the front again, as a person would. */
            char command[64];
            snprintf(command, sizeof command, "[con_id=%ld] focus", t.id);
            fprintf(log, "raise %ld: %s\n", t.id, sway_command(command) ? "done" : "refused");
        }
        if (t.window && mostly_off_screen(&t)) {
            /* Grown past the output, or placed mostly past its edge by sway
             * after a resize: put back in the middle, as a person would. */
            char command[64];
            snprintf(command, sizeof command, "[con_id=%ld] move position center", t.id);
            fprintf(log, "centre %ld: %s\n", t.id, sway_command(command) ? "done" : "refused");
            target(&t, &main_id);
        }
        on_screen(&t);
        fprintf(log, "#%ld on %ld %s \"%s\" %dx%d+%d+%d\n", i, t.id, t.window ? "window" : "desktop", t.title,
                t.width, t.height, t.x, t.y);
        const MonkeyKind kind = monkey_kind();
        const int x = t.x + monkey_below(t.width);
        const int y = t.y + monkey_below(t.height);
        switch (kind) {
        case MONKEY_CLICK:
            click(log, x, y, BTN_LEFT, 1);
            break;
        case MONKEY_DOUBLE_CLICK:
            click(log, x, y, BTN_LEFT, 2);
            break;
        case MONKEY_RIGHT_CLICK:
            if (!strstr(t.title, MONKEY_FILE_DIALOG))
                click(log, x, y, BTN_RIGHT, 1);
            break;
        case MONKEY_WHEEL: {
            const int down = monkey_below(2);
            fprintf(log, "wheel %d %d %s\n", x, y, down ? "down" : "up");
            move_to(x, y);
            wheel(down);
            break;
        }
        case MONKEY_DRAG: {
            const int y1 = t.y + monkey_below(t.height);
            const int x1 = t.x + monkey_below(t.width);
            drag(log, x, y, x1, y1);
            break;
        }
        case MONKEY_ESCAPE:
            key(log, "Escape", KEY_ESC, MONKEY_NO_MOD);
            break;
        case MONKEY_KEY: {
            const int k = monkey_below((int)(sizeof Keys / sizeof Keys[0]));
            key(log, Keys[k].name, Keys[k].code, Keys[k].mod);
            break;
        }
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "wlmonkey: the compositor went away after %ld events\n", i + 1);
            return 1;
        }
        /* Often enough that a hang is caught right after what caused it. */
        if (i % 25 == 24 || i == events - 1) {
            if (!ping(ping_command)) {
                /* A program that is going down (writing its core) may miss
                 * the ping while it still runs. */
                for (int waited = 0; waited < 10000 && monkey_alive(pid); waited += 10) {
                    const struct timespec pause = { 0, 10 * 1000000L };
                    nanosleep(&pause, NULL);
                }
                if (!monkey_alive(pid)) {
                    fprintf(stderr, "the program ended after %ld events\n", i + 1);
                    return 3;
                }
                fprintf(stderr, "the program did not answer within 10 s after %ld events\n", i + 1);
                return 2;
            }
        }
    }
    fclose(log);
    return 0;
}

static int rest(void)
{
    for (int i = 0; i < 10; ++i) {
        Target t;
        long main_id;
        if (!target(&t, &main_id))
            return 1;
        if (t.id == main_id) {
            /* and a menu over it */
            key(NULL, "Escape", KEY_ESC, MONKEY_NO_MOD);
            key(NULL, "Escape", KEY_ESC, MONKEY_NO_MOD);
            wl_display_roundtrip(display);
            return 0;
        }
        char command[64];
        snprintf(command, sizeof command, "[con_id=%ld] focus", t.id);
        sway_command(command);
        key(NULL, "Escape", KEY_ESC, MONKEY_NO_MOD);
        wl_display_roundtrip(display);
        const struct timespec pause = { 0, 300 * 1000000L };
        nanosleep(&pause, NULL);
    }
    return 1;
}

int main(int argc, char **argv)
{
    const int run = argc >= 9 && !strcmp(argv[7], "--");
    const int resting = argc == 4 && !strcmp(argv[3], "rest");
    if (!run && !resting) {
        fprintf(stderr, "usage: bench_wlmonkey WIDTH HEIGHT PID SEED EVENTS LOG -- PING...\n"
                        "       bench_wlmonkey WIDTH HEIGHT rest\n");
        return 1;
    }
    layout_w = (uint32_t)atoi(argv[1]);
    layout_h = (uint32_t)atoi(argv[2]);
    if (!make_devices())
        return 1;
    const int result = resting ? rest()
                               : monkey((pid_t)atoi(argv[3]), strtoull(argv[4], NULL, 0), atol(argv[5]), argv[6],
                                        argv + 8);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return result;
}
