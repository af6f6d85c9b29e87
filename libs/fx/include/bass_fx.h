/*
 * Mirvane effects library: a peaking equalizer and twelve DSP effects for channels of the
 * audio library (bass.h).
 *
 * Each effect is attached to one channel through the audio library's DSP hook and works on
 * its float samples where the channel is filled: the decode-ahead thread for played channels,
 * the caller of BASS_ChannelGetData for decode-only ones. Any sample rate from 8000 to
 * 96000 Hz, mono, stereo and more channels (an effect that needs a pair works on the first
 * two and leaves the others unchanged, or mono: see each effect).
 *
 * General rules
 * - Every function may be called from any thread. Calls are serialised by a lock that the
 *   processing never takes: processing allocates nothing and never waits for a call.
 * - On failure a function returns FALSE and BASS_FX_ErrorGetCode gives the reason as a code
 *   of bass.h. A handle that is 0 or not a channel of the audio library fails with
 *   BASS_ERROR_HANDLE (BASS_ErrorGetCode says the same) and changes nothing.
 * - An effect ends with its channel: freeing the channel drops its effects, and the library
 *   releases their state at its next call (or at BASS_FX_Free). That is safe at any moment:
 *   the audio library invalidates a handle only once the channel's running DSPs have
 *   returned, and runs none afterwards. The audio library never reuses a handle while
 *   initialised, which is what keeps a new channel from inheriting state of a freed one.
 * - An effect is built for the channel's rate and channel count at BASS_FX_DSP_Set (the
 *   channel's rate as BASS_ChannelGetAttributes reports it). Should blocks arrive at another
 *   rate or count, the effect leaves them unchanged.
 * - Parameter changes take effect at the next block the channel processes; gains, delays and
 *   filters glide to their new values (a few ms) instead of stepping.
 * - Every effect has a parameter record; values out of range are clamped, values that are not
 *   numbers fail with BASS_ERROR_ILLPARAM. Swap channels has none.
 * - No effect ever hands on a sample that is not a finite number, whatever its settings or
 *   its input: such input samples are taken as silence before the effect runs, and the
 *   effect's output is checked the same way.
 */
#ifndef MIRVANE_BASS_FX_H
#define MIRVANE_BASS_FX_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Effect numbers, with their processing and default parameters ---------------------- */

/* Swap channels: left and right trade places exactly (bit for bit). Mono: unchanged. */
#define BASS_FX_DSPFX_SWAP 0
/* Rotate: the stereo pair is turned like a vector by an angle growing by half a turn per
 * period, so a centred sound goes right, centre, left, centre once per period (default
 * 0.5 Hz: every 2 s); the total energy is kept. Mono: unchanged. Record BASS_FX_DSPROTATE. */
#define BASS_FX_DSPFX_ROTATE 1
/* Echo: feedback echo on each channel. Defaults: delay 250 ms, feedback 0.45 (each repeat
 * -6.9 dB), wet 0.5, dry 1.0, no damping: repeats at 250, 500, 750 ms... at -6, -12.9, -19.9
 * dB. Record BASS_FX_DSPECHO. */
#define BASS_FX_DSPFX_ECHO 2
/* Flanger: a comb swept by a sine, both channels together. Defaults: delay 0.5 ms to 5.0 ms
 * (0.5 + depth 4.5), 0.2 Hz (one sweep up and down in 5 s, starting at the shortest delay),
 * feedback 0.5, wet 0.6, dry 0.4: notches at odd multiples of 1/(2 delay), peaks +4 dB.
 * Record BASS_FX_DSPFLANGER. */
#define BASS_FX_DSPFX_FLANGER 3
/* Peaking equalizer: any number of bands, each a cookbook peaking biquad at the channel's
 * rate. Record BASS_FX_DSPPEAKEQ. */
#define BASS_FX_DSPFX_PEAKEQ 5
/* Reverb: per channel a pre-delay, six parallel damped comb filters (25.3 to 33.8 ms, the
 * right channel's 0.52 ms longer) and three allpasses (12.6, 7.7, 5.1 ms). Defaults: decay
 * time 1.8 s (-60 dB, below the damping), wet 0.3, dry 1.0, pre-delay 20 ms, damping
 * 5000 Hz. Record BASS_FX_DSPREVERB. */
#define BASS_FX_DSPFX_REVERB 6
/* Low-pass filter: fourth-order Butterworth (24 dB per octave). Default cut-off (-3 dB)
 * 1000 Hz. Record BASS_FX_DSPLPF. */
#define BASS_FX_DSPFX_LPF 7
/* Cutter: a rhythmic gate. Each cycle opens at its start for the duty share and is closed for
 * the rest, with linear ramps. Defaults: 8 Hz (125 ms cycles), duty 0.5 (62.5 ms open,
 * 62.5 ms silent), ramps 2 ms, closed level silence. Starts open. Record BASS_FX_DSPCUTTER. */
#define BASS_FX_DSPFX_CUTTER 8
/* Flanger v2: a stereo flanger swept by a triangle, each further channel's sweep a quarter
 * cycle ahead. Defaults: delay 1 ms to 8 ms (1 + depth 7), 0.5 Hz (2 s per sweep), feedback
 * 0.3, wet 0.65, dry 0.5, channel offset 90 degrees. Record BASS_FX_DSPFLANGER. */
#define BASS_FX_DSPFX_FLANGER2 9
/* Dyn. Amp: automatic gain. An RMS detector (100 ms, all channels together) steers the gain
 * towards the target level; the gain rises slowly and falls fast, is held while the input is
 * below the gate, and never exceeds the maximum. A peak limiter keeps every output sample
 * within the ceiling. Defaults: target -16 dBFS RMS, max gain +24 dB, rise 0.5 s, fall
 * 0.02 s, ceiling -0.5 dBFS, gate -60 dBFS. Record BASS_FX_DSPDAMP. */
#define BASS_FX_DSPFX_DAMP 11
/* AutoWah: a resonant band-pass whose centre sweeps evenly in octaves by a sine, mixed with
 * the dry sound. Defaults: 1 Hz, centre 350 Hz (at the start) to 2800 Hz (after half a
 * cycle), Q 4, wet 1.0, dry 0.3. Record BASS_FX_DSPAUTOWAH. */
#define BASS_FX_DSPFX_AUTOWAH 12
/* Echo 2.0: ping-pong echo. The mid signal (L+R)/2 repeats alternately on the left and the
 * right. Defaults: delay 375 ms, feedback 0.5, wet 0.6, dry 1.0, no damping: repeats at
 * 375 ms (left), 750 ms (right), 1125 ms (left)... each -6 dB from the one before. Mono: a
 * plain feedback echo with these settings. Record BASS_FX_DSPECHO. */
#define BASS_FX_DSPFX_ECHO2 13
/* Echo 2.1: tape echo: long, darker with every repeat. Defaults: delay 500 ms, feedback 0.6
 * (-4.4 dB per repeat), wet 0.5, dry 1.0, damping 2500 Hz (one-pole low-pass applied to each
 * repeat). Record BASS_FX_DSPECHO. */
#define BASS_FX_DSPFX_ECHO21 15

/* ---- Parameter records ----------------------------------------------------------------- */

/* Peaking equalizer band. SetParameters creates or updates band lBand (0 or more; negative
 * fails with BASS_ERROR_ILLPARAM); the filter is computed for the channel's own rate, and
 * GetParameters reports that rate in lFreq. fQ above 0 selects Q, clamped to 0.1..40; fQ 0
 * (or below) selects fBandwidth in octaves (between the half-gain points), clamped to
 * 0.05..10; neither above 0 fails with BASS_ERROR_ILLPARAM. fCenter in Hz, above 0 (0 or
 * below fails with BASS_ERROR_ILLPARAM); a band centred at or above half the channel's rate
 * has no effect. fGain in dB, clamped to -15..+15; a band at 0 dB leaves the sound bit for
 * bit unchanged. GetParameters reports the values as clamped. */
typedef struct {
    int lBand;
    DWORD lFreq;
    float fBandwidth;
    float fQ;
    float fCenter;
    float fGain;
} BASS_FX_DSPPEAKEQ;

typedef struct {
    float fRate; /* Hz, 0.01..20: periods per second */
} BASS_FX_DSPROTATE;

typedef struct {
    float fDelay;    /* ms, 1..2000 */
    float fFeedback; /* 0..0.95: share of each repeat fed back */
    float fWet;      /* 0..2: level of the repeats */
    float fDry;      /* 0..2: level of the direct sound */
    float fDamp;     /* Hz: low-pass on each repeat; 0 for none */
} BASS_FX_DSPECHO;

typedef struct {
    float fMinDelay; /* ms, 0.05..12.5: shortest delay of the sweep */
    float fDepth;    /* ms, 0..12.5: sweep above the shortest delay */
    float fRate;     /* Hz, 0.01..10 */
    float fFeedback; /* -0.9..0.9 */
    float fWet;      /* 0..2 */
    float fDry;      /* 0..2 */
    float fPhase;    /* degrees, -360..360: sweep offset of each further channel */
} BASS_FX_DSPFLANGER;

typedef struct {
    float fTime;     /* s, 0.1..20: decay by 60 dB */
    float fWet;      /* 0..2 */
    float fDry;      /* 0..2 */
    float fPreDelay; /* ms, 0..200 */
    float fDamp;     /* Hz: low-pass inside the tail; 0 for none */
} BASS_FX_DSPREVERB;

typedef struct {
    float fCutOff; /* Hz, 20 .. 0.45 * the channel's rate: the -3 dB point */
} BASS_FX_DSPLPF;

typedef struct {
    float fRate;   /* Hz, 0.1..50: cycles per second */
    float fDuty;   /* 0..1: open share of each cycle */
    float fRamp;   /* ms, 0.1..50: length of each opening and closing ramp */
    float fClosed; /* dB, -100..0: level while closed; -100 is silence */
} BASS_FX_DSPCUTTER;

typedef struct {
    float fTarget;  /* dBFS RMS, -60..0 */
    float fMaxGain; /* dB, 0..60 */
    float fRise;    /* s, time constant of a rising gain */
    float fFall;    /* s, time constant of a falling gain */
    float fCeiling; /* dBFS, -40..0: no output sample is louder */
    float fGate;    /* dBFS RMS: below it the gain is held */
} BASS_FX_DSPDAMP;

typedef struct {
    float fRate;    /* Hz, 0.01..20 */
    float fMinFreq; /* Hz: centre at the start of each cycle */
    float fMaxFreq; /* Hz: centre half a cycle later (at most 0.45 * the rate) */
    float fQ;       /* 0.3..30 */
    float fWet;     /* 0..2 */
    float fDry;     /* 0..2 */
} BASS_FX_DSPAUTOWAH;

/* ---- Functions -------------------------------------------------------------------------- */

/* Attaches effect dsp to the channel at the given DSP priority (higher runs first; effects
 * use 1, the equalizer 0). An effect already attached to that channel stays as it is (its
 * priority and settings too) and TRUE is returned. BASS_ERROR_ILLTYPE for an unknown number. */
BOOL BASS_FX_DSP_Set(DWORD handle, int dsp, int priority);

/* Detaches effect dsp from the channel and releases its state. An effect that is not
 * attached: FALSE with BASS_ERROR_NOTAVAIL, nothing else happens. */
BOOL BASS_FX_DSP_Remove(DWORD handle, int dsp);

/* params points to the effect's record (above). Fails with BASS_ERROR_NOTAVAIL when the
 * effect is not attached to the channel or has no parameters, BASS_ERROR_ILLPARAM for a NULL
 * record or unusable values. */
BOOL BASS_FX_DSP_SetParameters(DWORD handle, int dsp, void *params);

/* Fills the record with the values in force (clamped as they are used). For the equalizer
 * the band is chosen by lBand; an unknown band fails with BASS_ERROR_ILLPARAM. */
BOOL BASS_FX_DSP_GetParameters(DWORD handle, int dsp, void *params);

/* Detaches every effect from every channel and releases all state. The library may be used
 * again afterwards. */
BOOL BASS_FX_Free(void);

/* The reason for the calling thread's last failed call of this library (BASS_OK after a
 * success). */
int BASS_FX_ErrorGetCode(void);

/* Diagnostics: the number of effects whose state the library holds, after releasing those of
 * channels that no longer exist. */
DWORD BASS_FX_CountEffects(void);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_BASS_FX_H */
