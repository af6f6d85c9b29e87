/*
 * Mirvane visualisation plugins, panel kind: the C interface a panel plugin implements.
 *
 * A panel plugin is a shared object (ELF .so) whose file name ends in ".svp". It exports one
 * function, MVIS_SONIQUE_QUERY_NAME, that returns a pointer to a static module record. The host
 * loads the file with dlopen(RTLD_NOW | RTLD_LOCAL), so every symbol the plugin uses must be
 * resolvable from its own dependencies; it never calls into the player.
 *
 * Build: cc -shared -fPIC -o my_plugin.svp my_plugin.c (only this header is needed).
 *
 * Threading: the host calls init, render, clicked and deinit of one instance from one thread at
 * a time, the same thread for its whole life (the player's window thread, or the plugin
 * helper's thread). Several instances of one module may exist at once, each with its own state
 * pointer, so keep per-instance data in the state, not in globals.
 *
 * Units
 * - Pixels: 32-bit 0x00RRGGBB (blue in the low byte); the top byte is ignored by the host.
 * - The frame is width x height pixels; a row is pitch pixels apart (pitch >= width).
 * - Time: milliseconds.
 */
#ifndef MIRVANE_VIS_SONIQUE_H
#define MIRVANE_VIS_SONIQUE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef MVIS_EXPORT
/* Marks the entry point exported also when the plugin is built with -fvisibility=hidden. */
#define MVIS_EXPORT __attribute__((visibility("default")))
#endif

#define MVIS_SONIQUE_ABI 1
#define MVIS_SONIQUE_QUERY_NAME "mvis_sonique_query"
#define MVIS_WAVE_SAMPLES 512
#define MVIS_SPECTRUM_BANDS 256

/* The sound of one frame, filled by the host before each render. */
typedef struct MvisSoniqueData {
    /* Milliseconds since the instance was created; wraps after 49 days. */
    uint32_t millis;
    /* The newest 512 frames heard, oldest first, per channel (0 left, 1 right), each sample in
     * -1.0 .. 1.0 after the host's wave zoom (a gain of 1 + zoom, clipped). All 0 in silence
     * or when the host has no sound source. */
    float waveform[2][MVIS_WAVE_SAMPLES];
    /* 256 bands from the lowest frequency upwards, each 0.0 .. 1.0, the channels mixed. The host's
     * spectrum sensitivity scales them and its FFT zoom chooses how much of 0 .. 22050 Hz
     * they span (zoom 0: all of it, zoom n: the lowest 1 / 2^n). */
    float spectrum[MVIS_SPECTRUM_BANDS];
} MvisSoniqueData;

typedef struct MvisSoniqueModule {
    /* MVIS_SONIQUE_ABI; a host refuses any other number. */
    uint32_t abi;
    /* The name shown in the plugin list, UTF-8, NUL-terminated; the host shows at most its
     * first 255 bytes. Must stay valid while the file is loaded. */
    const char *name;
    /* Creates an instance for a frame of width x height pixels (both >= 1). settings_file is a
     * path the plugin may read and write its settings in (an INI-like text file shared by every
     * plugin; use a section named after the plugin), or "" for none. Stores the instance's
     * state in *state (may be NULL when the plugin keeps none) and returns 0; any other value
     * means failure, and then nothing else of this instance is called. */
    int (*init)(void **state, const char *settings_file, int width, int height);
    /* Draws one frame into pixels. Must return within a few milliseconds: the host measures it
     * and lowers the frame rate of a slow plugin. Must not keep the pixel pointer. Returns 0;
     * any other value asks the host to stop the instance. */
    int (*render)(void *state, uint32_t *pixels, int width, int height, int pitch,
                  const MvisSoniqueData *data);
    /* A mouse press at (x, y) in frame pixels; buttons: 1 left, 2 right, 4 middle. May be NULL. */
    void (*clicked)(void *state, int x, int y, int buttons);
    /* Releases the instance. Called exactly once after a successful init. */
    void (*deinit)(void *state);
} MvisSoniqueModule;

/* Returns the module record (static storage), or NULL when the plugin cannot run here. */
typedef const MvisSoniqueModule *(*MvisSoniqueQueryFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_VIS_SONIQUE_H */
