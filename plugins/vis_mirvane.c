/* Three modules in one file: "Mirvane Bars" (a mirrored stereo spectrum), "Mirvane Dots" (the
 * waveform as a ribbon of dots) and "Mirvane Fire" (flames fed by the spectrum). Config cycles
 * each module through its colour schemes. */
#include "mirvane_vis_winamp.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

/* A band's level 0..1, lifted so that quiet music still shows. */
static float lift(unsigned char v) { return powf((float)v / 255.0f, 0.55f); }

/* Band of column x of n, on a logarithmic scale from band 1 to band 300 (about 11 kHz). */
static int logBand(int x, int n) { return (int)powf(300.0f, (float)x / (float)n); }

static uint32_t rgb(int r, int g, int b) {
    r = r < 0 ? 0 : r > 255 ? 255 : r;
    g = g < 0 ? 0 : g > 255 ? 255 : g;
    b = b < 0 ? 0 : b > 255 ? 255 : b;
    return (uint32_t)(r << 16 | g << 8 | b);
}

static void clear(MvisWinampModule *m, uint32_t c) {
    for (int y = 0; y < m->frame_height; ++y)
        for (int x = 0; x < m->frame_width; ++x)
            m->pixels[y * m->pitch + x] = c;
}

/* Colour schemes: module->user counts Config presses. */
static int scheme(MvisWinampModule *m) { return (int)(intptr_t)m->user % 3; }
static void nextScheme(MvisWinampModule *m) { m->user = (void *)((intptr_t)m->user + 1); }

static int startPlain(MvisWinampModule *m) {
    clear(m, 0);
    return 0;
}
static void quitPlain(MvisWinampModule *m) { (void)m; }

/* ---- Bars: left channel upwards, right downwards from the middle line ---------------------- */

static int renderBars(MvisWinampModule *m) {
    static const int tint[3][3] = {{80, 200, 255}, {255, 170, 60}, {150, 255, 120}};
    const int *t = tint[scheme(m)];
    const int w = m->frame_width, h = m->frame_height, mid = h / 2;
    for (int y = 0; y < h; ++y) {
        const int v = 8 + 10 * abs(y - mid) / mid;
        for (int x = 0; x < w; ++x)
            m->pixels[y * m->pitch + x] = rgb(v / 2, v / 2, v);
    }
    const int bars = w / 4;
    for (int b = 0; b < bars; ++b) {
        const int band = logBand(b, bars);
        for (int c = 0; c < 2; ++c) {
            const int len = (int)(lift(m->spectrum[c][band]) * (float)(mid - 2));
            for (int i = 0; i < len; ++i) {
                const int y = c == 0 ? mid - 1 - i : mid + 1 + i;
                const int k = 120 + 135 * i / (mid > 1 ? mid : 1);
                const uint32_t col = rgb(t[0] * k / 255, t[1] * k / 255, t[2] * k / 255);
                for (int x = b * 4; x < b * 4 + 3; ++x)
                    m->pixels[y * m->pitch + x] = col;
            }
        }
    }
    for (int x = 0; x < w; ++x)
        m->pixels[mid * m->pitch + x] = rgb(t[0] / 2, t[1] / 2, t[2] / 2);
    return 0;
}

/* ---- Dots: both channels as a ribbon of fading dots ------------------------------------- */

static int renderDots(MvisWinampModule *m) {
    static const uint32_t col[3][2] = {
        {0xFFE060, 0x60C0FF}, {0xFF6080, 0x80FF90}, {0xFFFFFF, 0xA0A0FF}};
    const int w = m->frame_width, h = m->frame_height;
    for (int i = 0; i < h * m->pitch; ++i) {
        uint32_t p = m->pixels[i];
        m->pixels[i] = ((p >> 1) & 0x7F7F7F) + ((p >> 2) & 0x3F3F3F); /* fades to 3/4 */
    }
    for (int c = 0; c < 2; ++c)
        for (int x = 0; x < w; x += 2) {
            const int i = x * (MVIS_WINAMP_SAMPLES - 1) / (w - 1);
            const int y = h / 2 + m->waveform[c][i] * (h / 2 - 2) / 128 + (c ? 2 : -2);
            if (y >= 0 && y + 1 < h) {
                m->pixels[y * m->pitch + x] = col[scheme(m)][c];
                m->pixels[(y + 1) * m->pitch + x] = col[scheme(m)][c];
                if (x + 1 < w)
                    m->pixels[y * m->pitch + x + 1] = col[scheme(m)][c];
            }
        }
    return 0;
}

/* ---- Fire: each column's heat comes from its band; heat rises and cools --------------- */

/* One heat map: a module runs at most once at a time. */
static unsigned char *gHeat;
static unsigned gSeed = 12345;

static int startFire(MvisWinampModule *m) {
    clear(m, 0);
    gHeat = calloc((size_t)m->frame_width * (size_t)m->frame_height, 1);
    return gHeat ? 0 : 1;
}

static int renderFire(MvisWinampModule *m) {
    const int w = m->frame_width, h = m->frame_height;
    unsigned char *heat = gHeat;
    /* Bottom row: sparks, brighter where the spectrum is loud. */
    for (int x = 0; x < w; ++x) {
        const int band = logBand(x, w);
        gSeed = gSeed * 1103515245u + 12345u;
        const int spark = (int)((gSeed >> 16) & 127);
        const int v = (int)(lift(m->spectrum[0][band]) * 260.0f) + spark;
        heat[(h - 1) * w + x] = (unsigned char)(v > 255 ? 255 : v);
    }
    for (int y = 0; y < h - 1; ++y)
        for (int x = 0; x < w; ++x) {
            const int below = (y + 1) * w;
            const int l = heat[below + (x > 0 ? x - 1 : x)], r = heat[below + (x + 1 < w ? x + 1 : x)];
            const int c = heat[below + x], c2 = y + 2 < h ? heat[below + w + x] : c;
            const int v = (l + r + c + c2) / 4 - 2 - (int)((gSeed >> (x & 15)) & 1);
            heat[y * w + x] = (unsigned char)(v < 0 ? 0 : v);
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = heat[y * w + x];
            uint32_t c;
            switch (scheme(m)) {
            case 1: /* blue gas flame */
                c = rgb(v * v / 400, v * 3 / 4, v * 2);
                break;
            case 2: /* green */
                c = rgb(v / 3, v * 2, v * v / 300);
                break;
            default: /* fire */
                c = rgb(v * 2, v * v / 300, v * v * v / 90000);
                break;
            }
            m->pixels[y * m->pitch + x] = c;
        }
    return 0;
}

static void quitFire(MvisWinampModule *m) {
    (void)m;
    free(gHeat);
    gHeat = NULL;
}

static MvisWinampModule gModules[3] = {
    {.description = "Mirvane Bars", .width = 275, .height = 116, .spectrum_channels = 2,
     .init = startPlain, .render = renderBars, .quit = quitPlain, .config = nextScheme},
    {.description = "Mirvane Dots", .width = 275, .height = 116, .waveform_channels = 2,
     .init = startPlain, .render = renderDots, .quit = quitPlain, .config = nextScheme},
    {.description = "Mirvane Fire", .width = 200, .height = 120, .spectrum_channels = 1,
     .init = startFire, .render = renderFire, .quit = quitFire, .config = nextScheme},
};

static MvisWinampModule *getModule(int index) {
    return index >= 0 && index < 3 ? &gModules[index] : NULL;
}

static const MvisWinampHeader kHeader = {MVIS_WINAMP_ABI, "Mirvane sample modules", getModule};

MVIS_EXPORT const MvisWinampHeader *mvis_winamp_header(void) { return &kHeader; }
