/* monkey.h: the mix of random events, shared by the X11 driver (xdrive
 * monkey) and the Wayland one (bench/wlmonkey.c), so that a run means the
 * same on both and a seed draws the same choices.
 *
 * Each event draws, in this order: the kind (monkey_kind), a point in the
 * target window (x, then y), then what the kind needs (a second point for a
 * drag, y before x; the wheel's direction; a key from MONKEY_KEYS).
 */
#ifndef LUMARO_MONKEY_H
#define LUMARO_MONKEY_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

static uint64_t monkey_rng = 1;

static inline void monkey_seed(uint64_t seed) { monkey_rng = seed ? seed : 1; }

/* xorshift64*, so a seed replays the same events anywhere */
static inline uint32_t monkey_random(void)
{
    monkey_rng ^= monkey_rng >> 12;
    monkey_rng ^= monkey_rng << 25;
    monkey_rng ^= monkey_rng >> 27;
    return (uint32_t)((monkey_rng * 2685821657736338717ULL) >> 32);
}

/* A whole number in [0, n). */
static inline int monkey_below(int n) { return n > 0 ? (int)(monkey_random() % (uint32_t)n) : 0; }

typedef enum {
    MONKEY_CLICK,        /* 40 % */
    MONKEY_DOUBLE_CLICK, /*  4 % */
    MONKEY_RIGHT_CLICK,  /*  4 %, none in a file dialog */
    MONKEY_WHEEL,        /*  2 % */
    MONKEY_DRAG,         /*  6 % */
    MONKEY_ESCAPE,       /*  6 %: what opens also closes */
    MONKEY_KEY           /* 38 % */
} MonkeyKind;

static inline MonkeyKind monkey_kind(void)
{
    const int choice = monkey_below(100);
    if (choice < 40)
        return MONKEY_CLICK;
    if (choice < 44)
        return MONKEY_DOUBLE_CLICK;
    if (choice < 48)
        return MONKEY_RIGHT_CLICK;
    if (choice < 50)
        return MONKEY_WHEEL;
    if (choice < 56)
        return MONKEY_DRAG;
    if (choice < 62)
        return MONKEY_ESCAPE;
    return MONKEY_KEY;
}

enum { MONKEY_NO_MOD, MONKEY_SHIFT, MONKEY_CTRL, MONKEY_ALT };

/* The keys: K(name, X keysym, evdev code, modifier) for each. No Delete: in
 * the file dialog it would remove files. A driver takes the columns it
 * needs; the others are never expanded. */
#define MONKEY_KEYS(K)                                                                                        \
    K("Tab", XK_Tab, KEY_TAB, MONKEY_NO_MOD)                                                                  \
    K("shift+Tab", XK_Tab, KEY_TAB, MONKEY_SHIFT)                                                             \
    K("Return", XK_Return, KEY_ENTER, MONKEY_NO_MOD)                                                          \
    K("space", XK_space, KEY_SPACE, MONKEY_NO_MOD)                                                            \
    K("Escape", XK_Escape, KEY_ESC, MONKEY_NO_MOD)                                                            \
    K("Up", XK_Up, KEY_UP, MONKEY_NO_MOD)                                                                     \
    K("Down", XK_Down, KEY_DOWN, MONKEY_NO_MOD)                                                               \
    K("Left", XK_Left, KEY_LEFT, MONKEY_NO_MOD)                                                               \
    K("Right", XK_Right, KEY_RIGHT, MONKEY_NO_MOD)                                                            \
    K("shift+Right", XK_Right, KEY_RIGHT, MONKEY_SHIFT)                                                       \
    K("ctrl+Left", XK_Left, KEY_LEFT, MONKEY_CTRL)                                                            \
    K("alt+Up", XK_Up, KEY_UP, MONKEY_ALT)                                                                    \
    K("BackSpace", XK_BackSpace, KEY_BACKSPACE, MONKEY_NO_MOD)                                                \
    K("Home", XK_Home, KEY_HOME, MONKEY_NO_MOD)                                                               \
    K("End", XK_End, KEY_END, MONKEY_NO_MOD)                                                                  \
    K("alt+f", XK_f, KEY_F, MONKEY_ALT)                                                                       \
    K("alt+w", XK_w, KEY_W, MONKEY_ALT)                                                                       \
    K("alt+h", XK_h, KEY_H, MONKEY_ALT)                                                                       \
    K("ctrl+a", XK_a, KEY_A, MONKEY_CTRL)                                                                     \
    K("ctrl+c", XK_c, KEY_C, MONKEY_CTRL)                                                                     \
    K("ctrl+v", XK_v, KEY_V, MONKEY_CTRL)                                                                     \
    K("z", XK_z, KEY_Z, MONKEY_NO_MOD)                                                                        \
    K("c", XK_c, KEY_C, MONKEY_NO_MOD)                                                                        \
    K("r", XK_r, KEY_R, MONKEY_NO_MOD)                                                                        \
    K("0", XK_0, KEY_0, MONKEY_NO_MOD)                                                                        \
    K("5", XK_5, KEY_5, MONKEY_NO_MOD)                                                                        \
    K("9", XK_9, KEY_9, MONKEY_NO_MOD)                                                                        \
    K("minus", XK_minus, KEY_MINUS, MONKEY_NO_MOD)                                                            \
    K("period", XK_period, KEY_DOT, MONKEY_NO_MOD)                                                            \
    K("e", XK_e, KEY_E, MONKEY_NO_MOD)                                                                        \
    K("a", XK_a, KEY_A, MONKEY_NO_MOD)                                                                        \
    K("F1", XK_F1, KEY_F1, MONKEY_NO_MOD)

/* The title of the file dialog, and of its delete and replace questions: no
 * right click there either (its menu deletes). */
#define MONKEY_FILE_DIALOG "\xe6\x89\x93\xe5\xbc\x80\xe6\x96\x87\xe4\xbb\xb6" /* 打开文件 */

/* A process that has ended but not been reaped by its parent still answers
 * kill(pid, 0); /proc tells the truth. */
static inline int monkey_alive(pid_t pid)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    const char *state = NULL;
    if (fgets(line, sizeof line, f)) {
        const char *paren = strrchr(line, ')');
        state = paren ? paren + 2 : NULL;
    }
    fclose(f);
    return state && *state != 'Z' && *state != 'X';
}

#endif
