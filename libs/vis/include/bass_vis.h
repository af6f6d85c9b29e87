/*
 * Mirvane visualisation plugin host: finds, names, creates, draws and configures the two kinds
 * of visualisation plugins, panel plugins (mirvane_vis_sonique.h, "*.svp") and module files
 * (mirvane_vis_winamp.h, "vis_*.so"). The sound a plugin shows is read from a channel of the
 * audio library (bass.h) on every render.
 *
 * General rules
 * - Handles are 32-bit, never reused; 0 means failure. Handle 0 is harmless everywhere.
 * - Threading: BASS_VIS_FindPlugins, BASS_VIS_SetConfig and BASS_VIS_GetErrorText may be called
 *   from any thread. The calls on one handle must come from one thread (in the player, the
 *   window thread), because plugins are not required to be thread-safe.
 * - On failure a call returns 0 / FALSE / NULL and BASS_VIS_GetErrorText tells why in one line
 *   that names the file (e.g. "vis: /p/x.svp: no entry point mvis_sonique_query").
 * - Panel plugins run in a helper process ("mirvane-vis-helper", see BASS_VIS_SetHelper) that
 *   draws into memory shared with this process: a plugin that crashes, or takes longer than
 *   500 ms for a frame, is ended and its handle renders no more (Render returns FALSE and the
 *   error text says "it crashed (signal 11)" or "it did not answer within 500 ms"). Without a
 *   helper they run in this process. Module files always run in this process.
 */
#ifndef MIRVANE_BASS_VIS_H
#define MIRVANE_BASS_VIS_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD HVIS;

/* BASS_VIS_FindPlugins kind flags, combined. */
#define BASS_VIS_FIND_SONIQUE 1   /* panel plugins: "*.svp" */
#define BASS_VIS_FIND_WINAMP 2    /* module files: "vis_*.so" */
#define BASS_VIS_FIND_RECURSIVE 4 /* also in the folders below the path */
#define BASS_VIS_FIND_COMMALIST                                                                    \
    8 /* accepted for compatibility: the list is always comma-separated */

/* Lists the plugin files of the asked kinds in the folder path (UTF-8; a trailing '/' is
 * optional), sorted by path, as one text: items separated by ",", each item a full path; an
 * item that holds a blank, a comma, a double quote or a control character is put in double
 * quotes with inner quotes doubled. Returns "" when there are none or the folder cannot be
 * read, NULL for a NULL path. The text stays valid until the calling thread's next call. */
const char *BASS_VIS_FindPlugins(const char *path, DWORD flags);

/* BASS_VIS_SetConfig options, for panel plugins, in force from the next render on:
 * 1 spectrum sensitivity 1 .. 4 (default 2), 2 FFT zoom 0 .. 3 (default 0),
 * 3 wave zoom 0 .. 5 (default 0). Returns FALSE (and changes nothing) for another option or a
 * value out of range. */
#define BASS_VIS_CONFIG_FFT_SENSITIVITY 1
#define BASS_VIS_CONFIG_FFT_ZOOM 2
#define BASS_VIS_CONFIG_WAVE_ZOOM 3
BOOL BASS_VIS_SetConfig(DWORD option, DWORD value);
/* The value in force, or (DWORD)-1 for an unknown option. */
DWORD BASS_VIS_GetConfig(DWORD option);

/* The helper program that runs panel plugins, for the handles created from now on; NULL or ""
 * runs them in this process. Default: MIRVANE_VIS_HELPER when set, else "mirvane-vis-helper"
 * beside the running executable when it is there. Always TRUE. */
BOOL BASS_VIS_SetHelper(const char *path);

/* The reason of the calling thread's last failure, one line; "" after a success. */
const char *BASS_VIS_GetErrorText(void);

/* A 32-bit pixel frame to draw into: pixels 0x00RRGGBB (the top byte is set to 0xFF by the
 * host after drawing), width x height pixels, rows pitch pixels apart (pitch >= width). */
typedef struct BASS_VIS_CANVAS {
    uint32_t *pixels;
    int width, height, pitch;
} BASS_VIS_CANVAS;

/* ---- Panel plugins --------------------------------------------------------------------- */

#define BASS_VIS_NAME_ONLY 1 /* CreateVis flag: load to read the name; cannot be rendered */

/* Loads the panel plugin file. With BASS_VIS_NAME_ONLY the plugin is only asked for its name
 * (settings, width and height are ignored); otherwise an instance is started for a frame of
 * width x height pixels (each clamped to 1 .. 4096) with settings file path settings (NULL or
 * "" for none). Returns 0 when the file cannot be loaded, has no entry point, returns no
 * module, has another ABI number, or its init fails. */
HVIS BASS_SONIQUEVIS_CreateVis(const char *file, const char *settings, DWORD flags, int width,
                               int height);
/* The plugin's name (at most 255 bytes, UTF-8), valid until the handle is freed; NULL for an
 * unknown handle. */
const char *BASS_SONIQUEVIS_GetName(HVIS handle);
/* Stops the instance and unloads the file. FALSE for an unknown handle. */
BOOL BASS_SONIQUEVIS_Free(HVIS handle);
/* Reads the sound of channel (a recording or a playing channel; 0 or a dead one gives
 * silence), then lets the plugin draw one frame into canvas. The plugin is given the canvas's
 * own size. FALSE for an unknown or name-only handle, a NULL canvas, or when the plugin asked
 * to stop (it is then not rendered again). */
BOOL BASS_SONIQUEVIS_Render(HVIS handle, DWORD channel, const BASS_VIS_CANVAS *canvas);
/* Passes a mouse press at (x, y), frame pixels, buttons as in mirvane_vis_sonique.h (0 means
 * left). FALSE for an unknown handle. */
BOOL BASS_SONIQUEVIS_Clicked(HVIS handle, int x, int y, int buttons);

/* ---- Module files ---------------------------------------------------------------------- */

/* Loads module index (from 0) of the module file. With BASS_VIS_NAME_ONLY only its name is
 * read; otherwise the module is started with a frame of its own (BASS_WINAMPVIS_GetFrame) and
 * no settings file. Returns 0 when the file cannot be loaded,
 * has no module with that index, or the module is already running or fails to start. */
HVIS BASS_WINAMPVIS_CreateVis(const char *file, int index, DWORD flags);
/* The module's name (at most 255 bytes), valid until the handle is freed; NULL when unknown. */
const char *BASS_WINAMPVIS_GetName(HVIS handle);
/* Stops the module and unloads the file. FALSE for an unknown handle. */
BOOL BASS_WINAMPVIS_Free(HVIS handle);
/* Reads the sound of channel and lets the module draw one frame. FALSE for an unknown or
 * name-only handle, or when the module asked to stop. */
BOOL BASS_WINAMPVIS_Render(HVIS handle, DWORD channel);
/* The module's frame as last drawn; the pixels stay valid until the handle is freed.
 * FALSE for an unknown or name-only handle. */
BOOL BASS_WINAMPVIS_GetFrame(HVIS handle, BASS_VIS_CANVAS *frame);
/* Runs the module's own settings step. FALSE for an unknown handle or a module without one. */
BOOL BASS_WINAMPVIS_Config(HVIS handle);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_BASS_VIS_H */
