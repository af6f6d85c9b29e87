/* Oscilloscope with trails: left and right channel as two glowing lines that leave fading
 * trails; a click switches to an X/Y (Lissajous) picture of the two channels. */
#include "mirvane_vis_sonique.h"

#include <stdlib.h>
#include <string.h>

typedef struct {
    int w, h;
    int xy;
    uint32_t *canvas; /* our own picture, kept between frames for the trails */
} State;

static int init(void **state, const char *settings, int width, int height) {
    (void)settings;
    State *s = calloc(1, sizeof(State));
    if (!s)
        return 1;
    s->w = width;
    s->h = height;
    s->canvas = calloc((size_t)width * (size_t)height, sizeof(uint32_t));
    if (!s->canvas) {
        free(s);
        return 1;
    }
    *state = s;
    return 0;
}

/* Adds colour c to the pixel, saturating each channel. */
static void glow(State *s, int x, int y, uint32_t c) {
    if (x < 0 || y < 0 || x >= s->w || y >= s->h)
        return;
    uint32_t *p = &s->canvas[y * s->w + x];
    uint32_t r = ((*p >> 16) & 255) + ((c >> 16) & 255);
    uint32_t g = ((*p >> 8) & 255) + ((c >> 8) & 255);
    uint32_t b = (*p & 255) + (c & 255);
    *p = (r > 255 ? 255 : r) << 16 | (g > 255 ? 255 : g) << 8 | (b > 255 ? 255 : b);
}

static void dot(State *s, int x, int y, uint32_t core, uint32_t halo) {
    glow(s, x, y, core);
    glow(s, x + 1, y, halo);
    glow(s, x - 1, y, halo);
    glow(s, x, y + 1, halo);
    glow(s, x, y - 1, halo);
}

static void line(State *s, int x0, int y0, int x1, int y1, uint32_t core, uint32_t halo) {
    int dx = abs(x1 - x0), dy = abs(y1 - y0);
    int steps = dx > dy ? dx : dy;
    if (steps == 0)
        steps = 1;
    for (int i = 0; i <= steps; ++i)
        dot(s, x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, core, halo);
}

static int render(void *state, uint32_t *px, int w, int h, int pitch, const MvisSoniqueData *d) {
    State *s = state;
    if (w != s->w || h != s->h)
        return 1; /* the host re-creates us on a resize */
    /* Trails: every pixel fades by a quarter per frame, towards a deep blue. */
    for (int i = 0; i < w * h; ++i) {
        uint32_t p = s->canvas[i];
        uint32_t r = ((p >> 16) & 255) * 3 / 4, g = ((p >> 8) & 255) * 3 / 4,
                 b = (p & 255) * 3 / 4;
        s->canvas[i] = r << 16 | g << 8 | (b < 10 ? 10 : b);
    }
    if (s->xy) {
        for (int i = 1; i < MVIS_WAVE_SAMPLES; ++i) {
            int x0 = w / 2 + (int)(d->waveform[0][i - 1] * (float)(w / 2 - 2));
            int y0 = h / 2 - (int)(d->waveform[1][i - 1] * (float)(h / 2 - 2));
            int x1 = w / 2 + (int)(d->waveform[0][i] * (float)(w / 2 - 2));
            int y1 = h / 2 - (int)(d->waveform[1][i] * (float)(h / 2 - 2));
            line(s, x0, y0, x1, y1, 0x60A0FF, 0x102040);
        }
    } else {
        const uint32_t core[2] = {0x40E0C0, 0xE050C0}, halo[2] = {0x0C3028, 0x300C28};
        for (int c = 0; c < 2; ++c) {
            const int mid = h * (1 + 2 * c) / 4;
            const float amp = (float)(h / 4 - 2);
            int px0 = 0, py0 = mid - (int)(d->waveform[c][0] * amp);
            for (int x = 1; x < w; ++x) {
                const int i = x * (MVIS_WAVE_SAMPLES - 1) / (w - 1);
                const int y = mid - (int)(d->waveform[c][i] * amp);
                line(s, px0, py0, x, y, core[c], halo[c]);
                px0 = x;
                py0 = y;
            }
        }
    }
    for (int y = 0; y < h; ++y)
        memcpy(px + y * pitch, s->canvas + y * w, (size_t)w * sizeof(uint32_t));
    /* A faint centre line for each channel, drawn on top so it does not smear. */
    if (!s->xy)
        for (int x = 0; x < w; x += 3) {
            px[(h / 4) * pitch + x] |= 0x303050;
            px[(3 * h / 4) * pitch + x] |= 0x303050;
        }
    return 0;
}

static void clicked(void *state, int x, int y, int buttons) {
    (void)x;
    (void)y;
    (void)buttons;
    State *s = state;
    s->xy = !s->xy;
}

static void deinit(void *state) {
    State *s = state;
    free(s->canvas);
    free(s);
}

static const MvisSoniqueModule kModule = {
    MVIS_SONIQUE_ABI, "Mirvane Scope Trails", init, render, clicked, deinit,
};

MVIS_EXPORT const MvisSoniqueModule *mvis_sonique_query(void) { return &kModule; }
