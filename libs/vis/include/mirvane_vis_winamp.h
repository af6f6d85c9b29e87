/*
 * Mirvane visualisation plugins, module-file kind: the C interface a module file implements.
 *
 * A module file is a shared object whose file name starts with "vis_" and ends in ".so". It
 * exports one function, MVIS_WINAMP_HEADER_NAME, returning a pointer to a static header; the
 * header's get_module(i) gives module i (from 0 up to the first NULL). Each module draws into a
 * frame the host gives it and shows in a window of the host's own.
 *
 * Build: cc -shared -fPIC -o vis_mine.so mine.c (only this header is needed).
 *
 * Threading: the host calls init, render, config and quit of a module from one thread (the
 * player's window thread), never two at once. A module record is the plugin's static storage,
 * so one module runs at most once at a time; the host creates no second running instance of
 * a module it already runs.
 *
 * Units
 * - Pixels: 32-bit 0x00RRGGBB; the top byte is ignored. Rows are pitch pixels apart.
 * - spectrum: 576 bands from 0 Hz up to half the sample rate, each 0 .. 255.
 * - waveform: the newest 576 samples, oldest first, each -128 .. 127.
 * - Times: milliseconds; rates: Hz.
 */
#ifndef MIRVANE_VIS_WINAMP_H
#define MIRVANE_VIS_WINAMP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef MVIS_EXPORT
/* Marks the entry point exported also when the plugin is built with -fvisibility=hidden. */
#define MVIS_EXPORT __attribute__((visibility("default")))
#endif

#define MVIS_WINAMP_ABI 1
#define MVIS_WINAMP_HEADER_NAME "mvis_winamp_header"
#define MVIS_WINAMP_SAMPLES 576

typedef struct MvisWinampModule MvisWinampModule;

struct MvisWinampModule {
    /* Set by the plugin (static initialiser) ------------------------------------------------ */
    /* Display name, UTF-8, NUL-terminated; the host shows at most its first 255 bytes. */
    const char *description;
    /* Frame size the module wants, in pixels; 0 lets the host choose (275 x 116). The host
     * clamps each to 16 .. 1024. */
    int width, height;
    /* How many channels of spectrum and waveform the module reads: 0, 1 (mixed) or 2. */
    int spectrum_channels, waveform_channels;

    /* Filled by the host ------------------------------------------------------------------- */
    /* Before init: the frame, valid until quit returns. */
    uint32_t *pixels;
    int frame_width, frame_height, pitch;
    /* Before init: the settings file path ("" for none). */
    const char *settings_file;
    /* Before each render: sample rate of the sound, the sound itself and the time since init. */
    int sample_rate;
    uint32_t millis;
    unsigned char spectrum[2][MVIS_WINAMP_SAMPLES];
    signed char waveform[2][MVIS_WINAMP_SAMPLES];

    /* Free for the module's own use; the host never touches it. */
    void *user;

    /* Called by the host ------------------------------------------------------------------- */
    /* Starts the module; returns 0 on success, anything else and the host drops it. */
    int (*init)(MvisWinampModule *self);
    /* Draws one frame into pixels; returns 0, or 1 to ask the host to stop the module. */
    int (*render)(MvisWinampModule *self);
    /* Stops the module; called once after each successful init. */
    void (*quit)(MvisWinampModule *self);
    /* The module's own settings; runs between renders. May be NULL. */
    void (*config)(MvisWinampModule *self);
};

typedef struct MvisWinampHeader {
    /* MVIS_WINAMP_ABI; a host refuses any other number. */
    int abi;
    /* The file's description, UTF-8. */
    const char *description;
    /* Module i, or NULL past the last one. */
    MvisWinampModule *(*get_module)(int index);
} MvisWinampHeader;

/* Returns the header (static storage), or NULL when the file cannot run here. */
typedef const MvisWinampHeader *(*MvisWinampHeaderFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_VIS_WINAMP_H */
