/* Plugins that misbehave, one per BAD_* definition, built by tests/vis.cmake. */
#include "mirvane_vis_sonique.h"
#include "mirvane_vis_winamp.h"

#include <signal.h>
#include <stddef.h>
#include <string.h>
#include <unistd.h>

#if defined(BAD_NO_ENTRY)
/* Exports something, but not the entry point. */
MVIS_EXPORT int mvis_something_else(void) { return 1; }

#elif defined(BAD_NULL_MODULE)
MVIS_EXPORT const MvisSoniqueModule *mvis_sonique_query(void) { return NULL; }

#elif defined(BAD_OTHER_ABI)
static const MvisSoniqueModule kModule = {99, "From the future", NULL, NULL, NULL, NULL};
MVIS_EXPORT const MvisSoniqueModule *mvis_sonique_query(void) { return &kModule; }

#elif defined(BAD_HUGE_NAME) || defined(BAD_STOPS) || defined(BAD_INIT_FAILS) ||                \
    defined(BAD_CRASHES) || defined(BAD_HANGS)
static char gName[100000];
static int init(void **state, const char *settings, int w, int h) {
    (void)settings;
    (void)w;
    (void)h;
    *state = NULL;
#if defined(BAD_INIT_FAILS)
    return 7;
#else
    return 0;
#endif
}
static int frames;
static int render(void *state, uint32_t *px, int w, int h, int pitch, const MvisSoniqueData *d) {
    (void)state;
    (void)d;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[y * pitch + x] = 0x00FF00;
#if defined(BAD_STOPS)
    return ++frames >= 3; /* gives up after three frames */
#elif defined(BAD_CRASHES)
    if (++frames >= 3)
    { /* the third frame dies of a fault; the default action, so a sanitizer's handler
         in the helper cannot turn the death into an ordinary exit */
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    }
    return 0;
#elif defined(BAD_HANGS)
    if (++frames >= 3)
        for (;;) /* the third frame never ends */
            ;
    return 0;
#else
    return 0;
#endif
}
static void deinit(void *state) { (void)state; }
static MvisSoniqueModule gModule = {MVIS_SONIQUE_ABI, gName, init, render, NULL, deinit};
MVIS_EXPORT const MvisSoniqueModule *mvis_sonique_query(void) {
#if defined(BAD_HUGE_NAME)
    /* 99999 bytes of "é" and "x": the host must cut it without splitting a character. */
    for (size_t i = 0; i + 2 < sizeof gName; i += 3) {
        gName[i] = 'x';
        gName[i + 1] = (char)0xC3;
        gName[i + 2] = (char)0xA9;
    }
#else
    strcpy(gName, "Misbehaves");
#endif
    return &gModule;
}

#elif defined(BAD_NULL_HEADER)
MVIS_EXPORT const MvisWinampHeader *mvis_winamp_header(void) { return NULL; }

#elif defined(BAD_NO_MODULES)
static MvisWinampModule *none(int index) {
    (void)index;
    return NULL;
}
static const MvisWinampHeader kHeader = {MVIS_WINAMP_ABI, "Empty", none};
MVIS_EXPORT const MvisWinampHeader *mvis_winamp_header(void) { return &kHeader; }

#else
#error "name one BAD_* kind"
#endif
