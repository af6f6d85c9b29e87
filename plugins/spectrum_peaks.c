/* Spectrum with peaks: 40 bars over a logarithmic frequency scale, green to red, with caps that
 * hold and then fall, and a dim reflection below the floor line. A click switches between a
 * dark and a light backdrop. */
#include "mirvane_vis_sonique.h"

#include <math.h>
#include <stdlib.h>

#define BARS 40

typedef struct {
    float level[BARS];
    float peak[BARS];
    float peakSpeed[BARS];
    int light;
} State;

static int init(void **state, const char *settings, int width, int height) {
    (void)settings;
    (void)width;
    (void)height;
    State *s = calloc(1, sizeof(State));
    if (!s)
        return 1;
    *state = s;
    return 0;
}

static uint32_t rgb(int r, int g, int b) {
    return (uint32_t)((r & 255) << 16 | (g & 255) << 8 | (b & 255));
}

/* Green at the bottom through yellow to red at the top; t in 0..1. */
static uint32_t barColour(float t, float shade) {
    float r = t < 0.5f ? t * 2.0f : 1.0f;
    float g = t < 0.5f ? 1.0f : 1.0f - (t - 0.5f) * 1.6f;
    return rgb((int)(r * 255 * shade), (int)(g * 230 * shade), (int)(40 * shade));
}

static int render(void *state, uint32_t *px, int w, int h, int pitch, const MvisSoniqueData *d) {
    State *s = state;
    const int floorY = h * 4 / 5;
    /* Backdrop: a vertical gradient. */
    for (int y = 0; y < h; ++y) {
        const int v = s->light ? 235 - y * 40 / h : 12 + y * 22 / h;
        const uint32_t c = s->light ? rgb(v, v, v + 10 > 255 ? 255 : v + 10) : rgb(v / 2, v / 2, v);
        for (int x = 0; x < w; ++x)
            px[y * pitch + x] = c;
    }
    /* Bands: bar i covers a logarithmic slice of bands 1..160 (about 86 Hz to 14 kHz at the
     * host's zoom 0), where music has its energy. */
    for (int i = 0; i < BARS; ++i) {
        int lo = (int)(pow(160.0, (double)i / BARS));
        int hi = (int)(pow(160.0, (double)(i + 1) / BARS));
        if (hi <= lo)
            hi = lo + 1;
        float m = 0;
        for (int k = lo; k < hi && k < MVIS_SPECTRUM_BANDS; ++k)
            m = d->spectrum[k] > m ? d->spectrum[k] : m;
        /* Lift quiet bands and the treble, which music carries less of. */
        m = powf(m * (1.1f + 0.9f * (float)i / BARS), 0.7f);
        if (m > 1)
            m = 1;
        s->level[i] = m > s->level[i] ? m : s->level[i] * 0.82f;
        if (s->level[i] >= s->peak[i]) {
            s->peak[i] = s->level[i];
            s->peakSpeed[i] = -0.004f; /* a short hold before the fall */
        } else {
            s->peakSpeed[i] += 0.0015f;
            if (s->peakSpeed[i] > 0)
                s->peak[i] -= s->peakSpeed[i];
            if (s->peak[i] < 0)
                s->peak[i] = 0;
        }
    }
    const float slot = (float)w / BARS;
    for (int i = 0; i < BARS; ++i) {
        const int x0 = (int)(i * slot) + 1;
        int x1 = (int)((i + 1) * slot) - 1;
        if (x1 <= x0)
            x1 = x0 + 1;
        const int top = floorY - (int)(s->level[i] * (floorY - 4));
        for (int y = top; y < floorY; ++y) {
            /* Segmented bars: every fourth row is a gap. */
            if (((floorY - y) & 3) == 0)
                continue;
            const uint32_t c = barColour((float)(floorY - y) / (float)floorY, 1.0f);
            for (int x = x0; x < x1 && x < w; ++x)
                px[y * pitch + x] = c;
        }
        /* The reflection: the lower part of the bar, mirrored and dim. */
        const int depth = (floorY - top) / 3;
        for (int y = floorY + 1; y < floorY + 1 + depth && y < h; ++y) {
            const float fade = 0.35f * (1.0f - (float)(y - floorY) / (float)(depth + 1));
            const uint32_t c = barColour((float)(y - floorY) / (float)floorY, fade);
            for (int x = x0; x < x1 && x < w; ++x)
                px[y * pitch + x] = c;
        }
        const int py = floorY - 2 - (int)(s->peak[i] * (floorY - 4));
        for (int y = py; y < py + 2; ++y)
            if (y >= 0 && y < h)
                for (int x = x0; x < x1 && x < w; ++x)
                    px[y * pitch + x] = s->light ? rgb(40, 40, 60) : rgb(230, 235, 255);
    }
    for (int x = 0; x < w; ++x)
        px[floorY * pitch + x] = s->light ? rgb(120, 120, 140) : rgb(70, 70, 100);
    return 0;
}

static void clicked(void *state, int x, int y, int buttons) {
    (void)x;
    (void)y;
    (void)buttons;
    State *s = state;
    s->light = !s->light;
}

static void deinit(void *state) { free(state); }

static const MvisSoniqueModule kModule = {
    MVIS_SONIQUE_ABI, "Mirvane Spectrum Peaks", init, render, clicked, deinit,
};

MVIS_EXPORT const MvisSoniqueModule *mvis_sonique_query(void) { return &kModule; }
