/*
 * Mirvane audio library: decoding, output, seeking, syncs, DSP hooks, FFT data and recording.
 *
 * A C interface over an internal engine. Streams (MP1/MP2/MP3, Ogg Vorbis, WAV) and tracker
 * music (MOD, MTM, S3M, XM, IT), and MPEG streams from http/https addresses, are decoded ahead on a
 * library thread into a ring of about half a second per channel; SDL2's output callback only mixes
 * from those rings. A channel with DSPs or effects keeps its decoded half second before them and
 * runs them only BASS_CONFIG_DSP_LEAD ahead of the output, so their changes are heard soon.
 *
 * General rules
 * - Handles are 32-bit; 0 means failure. A handle is never reused while the library is
 *   initialised, so a stale handle fails with BASS_ERROR_HANDLE instead of hitting another
 *   channel.
 * - Every function may be called from any thread, including from a sync callback.
 *   DSP callbacks may call the library too, but must not wait for another thread that is
 *   calling it.
 * - On failure a function returns 0 (FALSE, or (DWORD)-1 / (QWORD)-1 where 0 is a valid
 *   result, as noted) and sets the calling thread's error code (BASS_ErrorGetCode).
 *   On success the calling thread's error code is BASS_OK.
 * - Positions and lengths are byte counts of 16-bit PCM at the channel's own sample rate and
 *   channel count (one frame = 2 * channels bytes). Times are seconds as float.
 * - Input files are only ever opened for reading.
 */
#ifndef MIRVANE_BASS_H
#define MIRVANE_BASS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef DWORD HSTREAM; /* file stream */
typedef DWORD HMUSIC;  /* tracker music */
typedef DWORD HSYNC;   /* sync attached to a channel */
typedef DWORD HRECORD; /* recording channel */
typedef DWORD HDSP;    /* DSP attached to a channel */
typedef DWORD HFX;     /* built-in effect attached to a channel */

/* ---- Error codes (BASS_ErrorGetCode) ------------------------------------------------- */
#define BASS_OK 0              /* the last call succeeded */
#define BASS_ERROR_MEM 1       /* out of memory */
#define BASS_ERROR_FILEOPEN 2  /* the file cannot be opened (missing, a directory, no access) */
#define BASS_ERROR_DRIVER 3    /* the output (or capture) device cannot be opened */
#define BASS_ERROR_FORMAT 4    /* not a format this library decodes, or damaged beyond use */
#define BASS_ERROR_HANDLE 5    /* not a valid handle (or a handle of the wrong kind) */
#define BASS_ERROR_INIT 6      /* BASS_Init (or BASS_RecordInit) has not succeeded */
#define BASS_ERROR_ALREADY 7   /* already initialised / already in that state */
#define BASS_ERROR_POSITION 8  /* position beyond the end of the channel */
#define BASS_ERROR_ILLPARAM 9  /* a parameter is out of its range */
#define BASS_ERROR_ILLTYPE 10  /* unknown sync, FX or data type */
#define BASS_ERROR_NOTAVAIL 11 /* not available for this channel kind or in this build */
#define BASS_ERROR_DECODE 12   /* not allowed on a decode-only channel (it cannot be played) */
#define BASS_ERROR_NOPLAY 13   /* the channel is not playing */
#define BASS_ERROR_DEVICE 14   /* no such device number */
#define BASS_ERROR_ENDED 15    /* the channel has nothing more to give */
#define BASS_ERROR_EMPTY 16    /* the file is empty */
#define BASS_ERROR_UNKNOWN (-1)

/* ---- Flags and constants --------------------------------------------------------------- */
/* BASS_StreamCreateFile / BASS_MusicLoad: the channel is not played; its 16-bit PCM (with DSPs
 * and FX applied) is pulled with BASS_ChannelGetData on the caller's thread. Decode-only
 * channels need no BASS_Init. */
#define BASS_STREAM_DECODE 0x200000
/* BASS_StreamCreateFile: scan the whole file so that the length is exact even when no header
 * gives it (MP3 without a Xing/Info header). The scan runs on a library thread and does not
 * hold up the creation or the playing: until it ends BASS_StreamGetLength gives the estimate
 * from the first frames, then the exact length. BASS_StreamLengthIsExact tells which, and a
 * BASS_SYNC_LENGTH sync fires when the exact length is known. Without the flag such a length
 * stays an estimate until decoding reaches the end. */
#define BASS_STREAM_PRESCAN 0x20000
/* BASS_MusicLoad: ramp volume changes of the tracker's notes to avoid clicks. */
#define BASS_MUSIC_RAMP 0x200

/* BASS_ChannelIsActive results */
#define BASS_ACTIVE_STOPPED 0 /* never played, at its end, or not a channel */
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_PAUSED 3

/* BASS_ChannelSetSync types */
#define BASS_SYNC_END 2 /* the channel's last sample has been heard; data = 0 */
/* BASS_SYNC_META: new metadata on a URL stream arrived. data = 0 (a 32-bit word cannot carry
 * a pointer here): read the text with BASS_StreamGetTags(channel, BASS_TAG_META), which gives
 * the newest; a burst of changes may fire once. */
#define BASS_SYNC_META 4
/* the stream's length has become exact (a prescan ended, or decoding reached the end of a
 * stream whose length was an estimate); data = 0. Fires at most once per channel; a sync set
 * when the length is exact already never fires. */
#define BASS_SYNC_LENGTH 8

/* BASS_ChannelGetData: a length with this bit set asks for data other than PCM. */
#define BASS_DATA_FFT2048 0x80000002 /* 1024 floats: magnitudes of a 2048-point FFT */

/* BASS_ChannelSetFX types */
#define BASS_FX_PARAMEQ 7 /* one peaking-equalizer band; see BASS_PARAMEQ */

/* BASS_StreamGetTags types (URL streams) */
#define BASS_TAG_HTTP 4 /* response header lines, each ended by '\0', then an empty one */
#define BASS_TAG_META 5 /* the last metadata text */

/* ---- Library ---------------------------------------------------------------------------- */

/* 0x00010002: high word 1, low word 2. */
DWORD BASS_GetVersion(void);

/* Opens the output. device 0: "no sound" - nothing is heard, but channels still play and
 * advance in real time (positions, syncs and FFT work). device 1: the default output device
 * through SDL2 (SDL_AUDIODRIVER picks the driver; "dummy" and "disk" work). freq is the
 * output rate in Hz (8000..192000; 0 means 44100). flags, win and clsid are ignored.
 * Fails with BASS_ERROR_DRIVER when the device cannot be opened, BASS_ERROR_DEVICE for
 * another device number, BASS_ERROR_ALREADY when already initialised. */
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid);

/* Lets the output run (BASS_Init already does); TRUE when initialised. */
BOOL BASS_Start(void);

/* Frees every channel (decode-only ones included), sync, DSP and recording, stops the
 * library's threads and closes the output. BASS_Init may be called again afterwards.
 * Calling it from a sync callback is allowed. */
BOOL BASS_Free(void);

/* Master volume of this program's output, 0 (silent) to 100 (unchanged); linear amplitude
 * factor volume/100, applied to the mix. The system mixer is not touched. Default 100. */
BOOL BASS_SetVolume(DWORD volume);

/* The device number passed to the successful BASS_Init, or (DWORD)-1 when not initialised. */
DWORD BASS_GetDevice(void);

/* A readable name of device 0 or 1; NULL for other numbers. The text stays valid for the
 * life of the process. */
const char *BASS_GetDeviceDescription(int device);

/* The last error code of the calling thread (see the list above). */
int BASS_ErrorGetCode(void);

/* The words of the outside library (SDL for devices; libmpg123, libvorbisfile, libsndfile
 * for decoders) behind the calling thread's last call, when that call failed because that
 * library refused: e.g. SDL's reason after BASS_Init or BASS_RecordStart fails with
 * BASS_ERROR_DRIVER, a decoder's after BASS_StreamCreateFile fails with BASS_ERROR_FORMAT.
 * "" (never NULL) after a success or a failure of this library's own (a bad handle, a
 * parameter out of range). The text is the calling thread's and stays valid until its next
 * call of this library. */
const char *BASS_ErrorGetText(void);

/* ---- Tracker music ---------------------------------------------------------------------- */

/* Loads a MOD, MTM, S3M, XM or IT module from a file (mem FALSE: file is a UTF-8 path, offset
 * and length select a part of it, length 0 meaning to the end) or from memory (mem TRUE: file
 * points to a buffer of length bytes; the content is its bytes offset .. length - 1, which
 * are copied; offset above length fails with BASS_ERROR_POSITION, offset equal to length
 * with BASS_ERROR_EMPTY). The content is probed first, so anything that is not a module (an
 * MP3, Ogg, WAV, text) returns 0 quickly with BASS_ERROR_FORMAT. Only regular files are
 * read: a directory fails with BASS_ERROR_FILEOPEN, a FIFO, socket or device with
 * BASS_ERROR_FORMAT at once (never waiting for a writer).
 * flags: BASS_MUSIC_RAMP, BASS_STREAM_DECODE. freq: the rendering rate, 0 for the output rate
 * (44100 when not initialised). The music plays once through. */
HMUSIC BASS_MusicLoad(BOOL mem, const void *file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq);

/* playlen FALSE: the number of orders (entries of the order list that are played).
 * playlen TRUE: the playing length in bytes. (DWORD)-1 on failure. */
DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen);

/* The module's title as the file stores it: its bytes, 8-bit, not converted (trailing blanks
 * and everything from the first zero byte dropped). Trackers wrote it in a single-byte code
 * page; the caller decodes it as Latin-1. "" when it has none; valid until the music is freed.
 * NULL with BASS_ERROR_HANDLE for anything but a music handle. */
const char *BASS_MusicGetName(HMUSIC handle);

/* Frees a music (FALSE with BASS_ERROR_HANDLE for anything else, e.g. a stream handle).
 * After it returns, none of the music's syncs or DSPs runs or will run (except one that is
 * running on the calling thread itself). */
BOOL BASS_MusicFree(HMUSIC handle);

/* ---- Streams ---------------------------------------------------------------------------- */

/* Opens an MP1/MP2/MP3 (libmpg123, gapless information honoured), Ogg Vorbis or WAV (8/16/
 * 24/32-bit integer or float PCM) stream, detected by content, not by name. mem/file/offset/
 * length as for BASS_MusicLoad (memory is copied; a FIFO fails with BASS_ERROR_FORMAT). flags:
 * BASS_STREAM_PRESCAN, BASS_STREAM_DECODE. Errors: BASS_ERROR_FILEOPEN (missing, directory,
 * unreadable), BASS_ERROR_EMPTY (empty file), BASS_ERROR_FORMAT (anything else not decodable),
 * BASS_ERROR_INIT (a played stream before BASS_Init). */
HSTREAM BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);

/* ---- URL streams ------------------------------------------------------------------------
 * An http:// or https:// address (at most 2048 bytes, no blanks) of an MPEG or Ogg Vorbis stream,
 * Shoutcast servers answering "ICY 200 OK" included. The transfer runs on a library thread of
 * its own per stream; redirects are followed (at most 5, http and https only); the connection
 * attempt gives up after the connect timeout (BASS_CONFIG_NET_TIMEOUT). Bounded: response
 * headers 16 KB in all, one metadata block 4080 bytes (the largest the format can carry),
 * metadata intervals up to 1 MB (a larger one: no metadata), 256 KB of audio read ahead.
 * After a drop, or when no byte arrives for BASS_CONFIG_NET_STALL ms, the stream reconnects to
 * the same address, pausing 0.25, 0.5, 1, 2, 4, 4... s between at most
 * BASS_CONFIG_NET_RECONNECTS attempts in a row (the count starts again once 64 KB arrived);
 * the last metadata text stays until a new one comes. When the attempts run out, the channel
 * plays to the end of what it has, which ends it (BASS_SYNC_END fires).
 * Length: unknown while the stream runs (BASS_StreamGetLength gives 0), the decoded count once
 * it has ended. BASS_ChannelSetPosition fails with BASS_ERROR_NOTAVAIL. */
#define BASS_STREAM_META 0x400000   /* ask for metadata (sends "Icy-MetaData: 1") */
#define BASS_STREAM_STATUS 0x800000 /* status texts go to the download callback */

/* The download callback runs on the stream's transfer thread (never the caller's, never the
 * output callback). length > 0: buffer holds length bytes of audio just received (metadata
 * taken out). length 0 and buffer set: a status text (with BASS_STREAM_STATUS): the server's
 * status line of each response ("ICY 200 OK", "HTTP/1.1 404 Not Found"), and
 * "Reconnecting\xE2\x80\xA6" (UTF-8) before each reconnect. length 0 and buffer NULL: the
 * transfer has ended for good. The texts are valid during the call only. The callback must
 * not free its own stream and should return at once (hand work over with a queued call). */
typedef void DOWNLOADPROC(const void *buffer, DWORD length, void *user);

/* Connects to url, waits for the response headers and about 12 KB of audio (at most
 * BASS_CONFIG_NET_PREBUF ms once the first byte is in), and returns a stream that plays like a
 * file stream. Blocks the calling thread for that long: up to the connect timeout plus the
 * stall time for a server that never answers, so call it from a worker thread, not from a GUI.
 * offset must be 0. flags: BASS_STREAM_META, BASS_STREAM_STATUS, BASS_STREAM_DECODE; proc may
 * be NULL. Errors: BASS_ERROR_ILLPARAM (no address, not http/https, too long, offset not 0),
 * BASS_ERROR_INIT (a played stream before BASS_Init), BASS_ERROR_FILEOPEN (refused, no answer,
 * not a 2xx status, too many redirects), BASS_ERROR_FORMAT (headers too large, not MPEG audio).
 * Callable from any thread. */
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user);

/* tags BASS_TAG_HTTP: the final response's header lines (status line first), each ended by
 * '\0', then an empty one. BASS_TAG_META: the last metadata text (e.g.
 * "StreamTitle='Artist - Song';StreamUrl='';"), bytes as the server sent them.
 * The text stays valid until the calling thread asks for the same type again. NULL with
 * BASS_ERROR_NOTAVAIL when the stream has none (not a URL stream, no metadata yet),
 * BASS_ERROR_ILLTYPE for another type, BASS_ERROR_HANDLE for no stream. Any thread. */
const char *BASS_StreamGetTags(HSTREAM handle, DWORD tags);

/* Settings of URL streams opened afterwards (values in ms unless noted; each clamped to its
 * range): BASS_CONFIG_NET_TIMEOUT connect timeout, 100..600000, default 5000;
 * BASS_CONFIG_NET_STALL no-data watchdog, 100..600000, default 5000;
 * BASS_CONFIG_NET_RECONNECTS attempts after a drop, 0..100, default 5;
 * BASS_CONFIG_NET_PREBUF longest prebuffer wait, 0..10000, default 300.
 * FALSE with BASS_ERROR_ILLTYPE for another option. Any thread. */
#define BASS_CONFIG_NET_TIMEOUT 11
#define BASS_CONFIG_NET_STALL 0x10100
#define BASS_CONFIG_NET_RECONNECTS 0x10101
#define BASS_CONFIG_NET_PREBUF 0x10102
/* BASS_CONFIG_DSP_LEAD: how far ahead of the output a played channel's DSPs and FX run, in ms,
 * 5..500, default 30 (any time). A change of an effect's settings is heard after about this
 * lead plus one device buffer; decoding itself stays up to half a second ahead, so only the
 * effects' work has to keep to the shorter time. When the output finds a channel short (a
 * busy machine), that channel's lead doubles, up to half a second; after 10 s without a
 * shortage it halves again, down to this value. */
#define BASS_CONFIG_DSP_LEAD 0x10103
BOOL BASS_SetConfig(DWORD option, DWORD value);

/* Length in bytes, exact to the decoded sample count (see BASS_STREAM_PRESCAN for MP3 without
 * a header); also answers for music handles. (QWORD)-1 on failure. */
QWORD BASS_StreamGetLength(HSTREAM handle);

/* TRUE when BASS_StreamGetLength is exact: at once for WAV, Vorbis, music and MP3 with a
 * length header; for other MP3 once the prescan (or decoding) has reached the end. FALSE
 * while it is an estimate, and FALSE with BASS_ERROR_HANDLE for anything but a stream or music
 * (BASS_ErrorGetCode tells the two apart: BASS_OK for an estimate). */
BOOL BASS_StreamLengthIsExact(HSTREAM handle);

/* Frees a stream (FALSE with BASS_ERROR_HANDLE for a music handle); same guarantees as
 * BASS_MusicFree. */
BOOL BASS_StreamFree(HSTREAM handle);

/* ---- Channels (streams, music and, where noted, recordings) --------------------------- */

/* restart TRUE: play from the beginning. FALSE: resume where paused or stopped (from the
 * beginning when the channel had played to its end). BASS_ERROR_DECODE for decode-only
 * channels. Returns at once: the decode-ahead thread fills the channel (its DSPs run there)
 * and it is heard from the first frames decoded. */
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

/* Pauses a playing channel; BASS_ERROR_NOPLAY when it is not playing, BASS_ERROR_DECODE for a
 * decode-only channel (it is never played), BASS_ERROR_NOTAVAIL for a recording. */
BOOL BASS_ChannelPause(DWORD handle);

/* BASS_ACTIVE_STOPPED (also for an invalid handle), _PLAYING or _PAUSED. A channel is
 * "playing" until its last sample has been heard. A recording is playing until freed; a
 * decode-only channel until a pull reaches its end. */
DWORD BASS_ChannelIsActive(DWORD handle);

/* What the listener hears now (decoded minus still buffered), within about 30 ms; for
 * decode-only channels the bytes pulled so far. (QWORD)-1 on failure. */
QWORD BASS_ChannelGetPosition(DWORD handle);

/* Seeks to pos (rounded down to a whole frame): sample-exact for WAV and Vorbis, within one
 * MPEG frame for MP3, to the nearest row for music; while playing, paused or stopped.
 * BASS_ERROR_POSITION when pos is past the end (the estimated end while the length is an
 * estimate, see BASS_StreamLengthIsExact). A playing channel is refilled by the
 * decode-ahead thread, not on the caller's thread; BASS_ERROR_NOTAVAIL for a recording. */
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos);

/* Conversions at the channel's rate and channel count. Seconds2Bytes rounds down to a whole
 * frame; negative seconds (and NaN) give 0; a time whose byte count does not fit (10^15
 * frames or more, infinity) gives (QWORD)-1 with BASS_ERROR_ILLPARAM. Bytes2Seconds of
 * (QWORD)-1 is a negative number. Both fail with BASS_ERROR_HANDLE for a bad handle. */
float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos);

/* freq: -1 or 0 leaves it; otherwise 100..200000 Hz plays the channel at that rate (pitch and
 * speed change; positions stay in the channel's own bytes; decode-only channels ignore it). volume:
 * -1 leaves it, 0..100 linear amplitude volume/100. pan: -101 or below leaves it; -100 (left) ..
 * 100 (right). Pan law (a balance): pan p < 0 scales the right side by (100 + p) / 100, p > 0
 * scales the left side by (100 - p) / 100, the other side stays at full level; a mono channel is
 * heard on both sides first. Changes are heard at once (applied in the mix, not the decode-ahead).
 */
BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);

/* The channel's playing rate in Hz (its own sample rate unless changed), volume 0..100 and pan
 * -100..100. Any pointer may be NULL. */
BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD *freq, DWORD *volume, int *pan);

/* A sync callback runs on the library's sync thread: never the caller's thread, never the
 * output callback. It may call any library function, free its own channel and create and
 * play another. Keep it short: it delays other syncs. */
typedef void SYNCPROC(HSYNC handle, DWORD channel, DWORD data, void *user);

/* type BASS_SYNC_END: fires once each time the channel's last sample has been heard (not
 * merely decoded; for a decode-only channel: once its end has been pulled). BASS_SYNC_META:
 * fires on new metadata. param must be 0. No sync of a freed channel ever fires: freeing a
 * channel from another thread waits for its running sync callback to return, so a callback
 * must not wait for a thread that may be freeing its channel (hand work over with a queued
 * call instead). */
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user);
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);

/* A DSP gets float samples (nominally -1..1, interleaved, chans per frame, rate Hz) and edits
 * them in place. It runs on the thread that fills the channel: the library's decode-ahead
 * thread for played channels (never the thread calling BASS_ChannelPlay,
 * BASS_ChannelSetPosition or BASS_ChannelSetAttributes), the caller of BASS_ChannelGetData
 * for decode-only ones.
 * Higher priority runs first; equal priorities run in the order they were set. DSPs and
 * effects (BASS_ChannelSetFX) share that order. */
typedef void DSPPROC(HDSP handle, DWORD channel, float *buffer, DWORD frames, DWORD chans,
                     DWORD rate, void *user);

/* After BASS_ChannelRemoveDSP (or freeing the channel) returns, the DSP is not running and
 * will not run again, unless called from within that DSP. Freeing a channel waits for its
 * running DSPs before the handle becomes invalid, so whoever owns a DSP's state may release
 * it as soon as the handle fails (the effects library does).
 * SetDSP: the DSP's handle; 0 with BASS_ERROR_HANDLE (bad channel), BASS_ERROR_ILLPARAM (proc
 * NULL) or BASS_ERROR_NOTAVAIL (a recording). RemoveDSP: BASS_ERROR_HANDLE when the channel
 * or the DSP is not there. */
HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC *proc, void *user, int priority);
BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp);

/* Built-in effects. BASS_FX_PARAMEQ: a peaking equalizer band. Its defaults (centre 1000 Hz,
 * bandwidth 12 semitones, gain 0 dB) leave the sound unchanged bit for bit. Whatever its
 * settings or input, a band never emits NaN or infinity: input that is not a finite number
 * is silenced where it would have stayed in the filter's memory. */
typedef struct BASS_PARAMEQ {
    float center;    /* Hz, 80 .. 16000; out of range clamped, and to at most 0.45 * the
                        channel's rate */
    float bandwidth; /* semitones, 1 .. 36; out of range clamped */
    float gain;      /* dB, -15 .. 15; out of range clamped */
} BASS_PARAMEQ;
/* Attaches an effect at the given priority (shared order with DSPs). The FX handle; 0 with
 * BASS_ERROR_ILLTYPE for a type other than BASS_FX_PARAMEQ, BASS_ERROR_HANDLE for a bad
 * channel, BASS_ERROR_NOTAVAIL for a recording. */
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority);
/* BASS_ERROR_HANDLE when the channel or the effect is not there. Once it returns, the effect
 * does not run any more. */
BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);
/* params: a BASS_PARAMEQ; values out of range are clamped (as above) and take effect at the
 * next block. FALSE with BASS_ERROR_ILLPARAM for NULL or a field that is NaN (nothing
 * changes), BASS_ERROR_HANDLE for an unknown FX handle. */
BOOL BASS_FXSetParameters(HFX handle, const void *params);
/* Fills a BASS_PARAMEQ with the values in force (as clamped). BASS_ERROR_ILLPARAM for NULL,
 * BASS_ERROR_HANDLE for an unknown FX handle. */
BOOL BASS_FXGetParameters(HFX handle, void *params);

/* length BASS_DATA_FFT2048: fills buffer with 1024 floats, the magnitudes of a Hann-windowed
 * 2048-point FFT of the last 2048 samples heard (recorded, or pulled for decode-only
 * channels), channels mixed; a full-scale sine centred on a bin gives that bin about 0.5.
 * Bin k is k * rate / 2048 Hz, rate being the output rate for played channels, whose samples
 * are taken before channel volume, pan and master volume.
 * Otherwise length is a byte count of 16-bit PCM (rounded down to whole frames):
 * - decode-only channel: decodes and returns the next bytes, DSPs and FX applied;
 * - recording: returns captured bytes not yet read (up to length; may be fewer);
 * - played channel: the last length bytes heard (at most 4096 frames), at the output rate,
 *   stereo, before channel volume, pan and master volume.
 * Returns the number of bytes written, or (DWORD)-1 when the channel has nothing to give
 * (then the buffer is left as it was): BASS_ERROR_ENDED at the end of a decode-only channel,
 * BASS_ERROR_NOPLAY when nothing has been heard yet. A length below one frame (0, or 2 for
 * stereo) returns 0 with BASS_OK and changes nothing; the channel goes on. */
DWORD BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length);

/* ---- Recording -------------------------------------------------------------------------- */

/* device 0: the default capture device through SDL2 (with SDL_AUDIODRIVER=disk the file named
 * by SDL_DISKAUDIOFILEIN). Independent of BASS_Init. */
BOOL BASS_RecordInit(int device);

/* Called on the capture thread with each block of newly captured 16-bit PCM of one recording
 * (length in bytes, whole frames of that recording's format). Return FALSE to end that
 * recording's callbacks (its data still goes on to BASS_ChannelGetData). Keep it short: it
 * holds up the capture of every recording. It must not free recordings. */
typedef BOOL RECORDPROC(HRECORD handle, const void *buffer, DWORD length, void *user);

/* Starts a recording of freq Hz (8000..192000), chans (1 or 2) channels of 16-bit PCM and
 * returns its channel, whose PCM and FFT BASS_ChannelGetData reads; about one second of unread
 * PCM is kept per recording. Any number of recordings may exist at once: they share one
 * capture device (opened by the first, at its format, and closed with the last) and each gets
 * its own copy of the data, converted to its own rate and channel count, and its own
 * callback. flags are ignored; proc may be NULL (a RECORDPROC otherwise; user is passed to
 * it). 0 with BASS_ERROR_ILLPARAM (format out of range), BASS_ERROR_INIT (no
 * BASS_RecordInit) or BASS_ERROR_DRIVER (the device cannot be opened; BASS_ErrorGetText
 * has SDL's reason). */
HRECORD BASS_RecordStart(DWORD freq, DWORD chans, DWORD flags, void *proc, void *user);

/* Ends one recording (BASS_ERROR_HANDLE when it is not one); the capture device closes with
 * the last. Once it returns, none of its callbacks runs. */
BOOL BASS_RecordStop(HRECORD handle);

/* Ends every recording, closes the capture device and undoes BASS_RecordInit. FALSE with
 * BASS_ERROR_INIT when there was nothing to free. */
BOOL BASS_RecordFree(void);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_BASS_H */
