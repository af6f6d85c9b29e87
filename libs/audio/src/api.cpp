// The C interface of bass.h over the engine.
#include "engine.h"

#include <algorithm>
#include <cmath>
#include <string>

using mirvane::audio::Engine;
using mirvane::audio::Kind;
using mirvane::audio::setError;

extern "C" {

DWORD BASS_GetVersion(void) {
    return 0x00010002;
}
BOOL BASS_Init(int device, DWORD freq, DWORD, void *, const void *) {
    return Engine::get().init(device, freq);
}
BOOL BASS_Start(void) {
    return Engine::get().start();
}
BOOL BASS_Free(void) {
    return Engine::get().free();
}
BOOL BASS_SetVolume(DWORD volume) {
    return Engine::get().setVolume(volume);
}
DWORD BASS_GetDevice(void) {
    return Engine::get().device();
}
const char *BASS_GetDeviceDescription(int device) {
    return Engine::get().deviceDescription(device);
}
int BASS_ErrorGetCode(void) {
    return mirvane::audio::lastError();
}
const char *BASS_ErrorGetText(void) {
    return mirvane::audio::errorText();
}

HMUSIC BASS_MusicLoad(BOOL mem, const void *file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq) {
    return Engine::get().loadMusic(mem, file, offset, length, flags, freq);
}
DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen) {
    auto ch = Engine::get().find(handle);
    if (!ch || ch->kind != Kind::Music) {
        setError(BASS_ERROR_HANDLE);
        return DWORD(-1);
    }
    setError(BASS_OK);
    if (playlen)
        return DWORD(std::min<QWORD>(ch->lengthFrames.load() * 4, 0xFFFFFFFEu));
    return ch->orders;
}
const char *BASS_MusicGetName(HMUSIC handle) {
    auto ch = Engine::get().find(handle);
    if (!ch || ch->kind != Kind::Music) {
        setError(BASS_ERROR_HANDLE);
        return nullptr;
    }
    setError(BASS_OK);
    return ch->title.c_str(); // the channel object lives until the music is freed
}
BOOL BASS_MusicFree(HMUSIC handle) {
    return Engine::get().freeChannel(handle, Kind::Music);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags) {
    return Engine::get().createStream(mem, file, offset, length, flags);
}
HSTREAM BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                             void *user) {
    return Engine::get().createUrlStream(url, offset, flags, proc, user);
}
const char *BASS_StreamGetTags(HSTREAM handle, DWORD tags) {
    // Per thread and type, so a caller's text stays put while other threads ask too.
    thread_local std::string http, meta;
    auto ch = Engine::get().find(handle);
    if (!ch || ch->kind != Kind::Stream) {
        setError(BASS_ERROR_HANDLE);
        return nullptr;
    }
    if (tags != BASS_TAG_HTTP && tags != BASS_TAG_META) {
        setError(BASS_ERROR_ILLTYPE);
        return nullptr;
    }
    if (!ch->net || !ch->net->hasTags(tags)) {
        setError(BASS_ERROR_NOTAVAIL);
        return nullptr;
    }
    std::string &out = tags == BASS_TAG_HTTP ? http : meta;
    out = ch->net->tags(tags);
    setError(BASS_OK);
    return out.c_str();
}
BOOL BASS_SetConfig(DWORD option, DWORD value) {
    auto c = mirvane::audio::urlConfig();
    const int v = int(std::min<DWORD>(value, 600000));
    switch (option) {
    case BASS_CONFIG_NET_TIMEOUT:
        c.connectTimeoutMs = std::max(v, 100);
        break;
    case BASS_CONFIG_NET_STALL:
        c.stallMs = std::max(v, 100);
        break;
    case BASS_CONFIG_NET_RECONNECTS:
        c.reconnects = std::min(v, 100);
        break;
    case BASS_CONFIG_NET_PREBUF:
        c.prebufferMs = std::min(v, 10000);
        break;
    case BASS_CONFIG_DSP_LEAD:
        Engine::get().dspLeadMs.store(std::clamp(v, 5, 500));
        setError(BASS_OK);
        return TRUE;
    default:
        setError(BASS_ERROR_ILLTYPE);
        return FALSE;
    }
    mirvane::audio::setUrlConfig(c);
    setError(BASS_OK);
    return TRUE;
}
QWORD BASS_StreamGetLength(HSTREAM handle) {
    auto ch = Engine::get().find(handle);
    if (!ch || ch->kind == Kind::Record) {
        setError(BASS_ERROR_HANDLE);
        return QWORD(-1);
    }
    setError(BASS_OK);
    return ch->lengthFrames.load() * 2 * QWORD(ch->channels);
}
BOOL BASS_StreamLengthIsExact(HSTREAM handle) {
    auto ch = Engine::get().find(handle);
    if (!ch || ch->kind == Kind::Record) {
        setError(BASS_ERROR_HANDLE);
        return FALSE;
    }
    setError(BASS_OK);
    return ch->lengthExact.load() ? TRUE : FALSE;
}
BOOL BASS_StreamFree(HSTREAM handle) {
    return Engine::get().freeChannel(handle, Kind::Stream);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return Engine::get().play(handle, restart != 0);
}
BOOL BASS_ChannelPause(DWORD handle) {
    return Engine::get().pause(handle);
}
DWORD BASS_ChannelIsActive(DWORD handle) {
    return Engine::get().isActive(handle);
}
QWORD BASS_ChannelGetPosition(DWORD handle) {
    return Engine::get().position(handle);
}
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos) {
    return Engine::get().setPosition(handle, pos);
}
float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    auto ch = Engine::get().find(handle);
    if (!ch)
        return -1.0f;
    setError(BASS_OK);
    if (pos == QWORD(-1))
        return -1.0f;
    return float(double(pos) / (2.0 * ch->channels) / ch->rate);
}
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos) {
    auto ch = Engine::get().find(handle);
    if (!ch)
        return QWORD(-1);
    if (!(pos > 0)) { // also NaN
        setError(BASS_OK);
        return 0;
    }
    const double frames = std::floor(double(pos) * ch->rate);
    if (!(frames < 1e15)) { // also infinity
        setError(BASS_ERROR_ILLPARAM);
        return QWORD(-1);
    }
    setError(BASS_OK);
    return QWORD(frames) * 2 * QWORD(ch->channels);
}
BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
    return Engine::get().setAttributes(handle, freq, volume, pan);
}
BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD *freq, DWORD *volume, int *pan) {
    auto ch = Engine::get().find(handle);
    if (!ch)
        return FALSE;
    if (freq) {
        std::lock_guard<std::recursive_mutex> cl(ch->mutex);
        *freq = DWORD(ch->playRate);
    }
    if (volume)
        *volume = DWORD(ch->volume.load());
    if (pan)
        *pan = ch->pan.load();
    setError(BASS_OK);
    return TRUE;
}
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC *proc, void *user) {
    if (param != 0) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    return Engine::get().setSync(handle, type, proc, user);
}
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
    return Engine::get().removeSync(handle, sync);
}
HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC *proc, void *user, int priority) {
    return Engine::get().addChain(handle, proc, user, priority, false);
}
BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp) {
    return Engine::get().removeChain(handle, dsp, false);
}
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
    if (type != BASS_FX_PARAMEQ) {
        setError(BASS_ERROR_ILLTYPE);
        return 0;
    }
    return Engine::get().addChain(handle, nullptr, nullptr, priority, true);
}
BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
    return Engine::get().removeChain(handle, fx, true);
}
BOOL BASS_FXSetParameters(HFX handle, const void *params) {
    if (!params) {
        setError(BASS_ERROR_ILLPARAM);
        return FALSE;
    }
    return Engine::get().fxParameters(handle, static_cast<const BASS_PARAMEQ *>(params), nullptr);
}
BOOL BASS_FXGetParameters(HFX handle, void *params) {
    if (!params) {
        setError(BASS_ERROR_ILLPARAM);
        return FALSE;
    }
    return Engine::get().fxParameters(handle, nullptr, static_cast<BASS_PARAMEQ *>(params));
}
DWORD BASS_ChannelGetData(DWORD handle, void *buffer, DWORD length) {
    return Engine::get().getData(handle, buffer, length);
}
BOOL BASS_RecordInit(int device) {
    return Engine::get().recordInit(device);
}
HRECORD BASS_RecordStart(DWORD freq, DWORD chans, DWORD, void *proc, void *user) {
    return Engine::get().recordStart(freq, chans, reinterpret_cast<RECORDPROC *>(proc), user);
}
BOOL BASS_RecordStop(HRECORD handle) {
    return Engine::get().recordStop(handle);
}
BOOL BASS_RecordFree(void) {
    return Engine::get().recordFree();
}

} // extern "C"
