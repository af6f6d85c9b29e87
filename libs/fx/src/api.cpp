// The C interface: a registry of the effects attached to each channel, over the audio
// library's DSP hook.
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "bass_fx.h"
#include "dsp/effects.h"
#include "dsp/peak_eq.h"

namespace {

using namespace mirvane::fx;

thread_local int t_error = BASS_OK;

BOOL fail(int code) {
    t_error = code;
    return FALSE;
}
BOOL ok() {
    t_error = BASS_OK;
    return TRUE;
}

// Decaying feedback loops reach subnormal numbers, which are slow on x86; the processing
// flushes them to zero and restores the thread's own mode afterwards.
#if defined(__SSE__)
class FlushDenormals {
  public:
    FlushDenormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(saved_); }
    FlushDenormals(const FlushDenormals &) = delete;
    FlushDenormals &operator=(const FlushDenormals &) = delete;

  private:
    unsigned saved_;
};
#else
struct FlushDenormals {};
#endif

void scrubNonFinite(float *buf, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(buf[i]))
            buf[i] = 0.0f;
}

void dspProc(HDSP, DWORD, float *buffer, DWORD frames, DWORD chans, DWORD rate, void *user) {
    auto *effect = static_cast<Effect *>(user);
    if (chans != effect->chans() || rate != effect->rate() || !buffer)
        return;
    FlushDenormals flush;
    // Whatever comes in, no effect ever hands on a sample that is not a finite number: one
    // would stay in an effect's feedback for good (and reach the listener as full scale).
    const std::size_t n = std::size_t(frames) * chans;
    scrubNonFinite(buffer, n);
    effect->process(buffer, frames);
    scrubNonFinite(buffer, n);
}

struct Attached {
    std::unique_ptr<Effect> effect;
    HDSP dsp = 0;
};

struct Registry {
    std::mutex mutex;
    // Channel handle -> effect number -> attached effect. Guarded by `mutex`; the processing
    // side only ever sees the Effect objects, through the DSP's user pointer.
    std::unordered_map<DWORD, std::map<int, Attached>> channels;

    // Releases the state of channels the audio library no longer knows; the library has
    // already dropped their DSPs, so nothing runs on that state any more.
    void purge() {
        for (auto it = channels.begin(); it != channels.end();) {
            if (!BASS_ChannelGetAttributes(it->first, nullptr, nullptr, nullptr))
                it = channels.erase(it);
            else
                ++it;
        }
    }
};

Registry &registry() {
    // Never destroyed: the audio library's threads may outlive static destruction.
    static Registry *r = new Registry;
    return *r;
}

// The channel's rate and channel count. The audio library reports the rate; one second in
// bytes of 16-bit PCM is 2 * rate * chans.
bool channelFormat(DWORD handle, unsigned &rate, unsigned &chans) {
    DWORD freq = 0;
    if (!BASS_ChannelGetAttributes(handle, &freq, nullptr, nullptr))
        return false;
    rate = freq ? freq : 44100;
    const QWORD second = BASS_ChannelSeconds2Bytes(handle, 1.0f);
    chans = 2;
    if (second != static_cast<QWORD>(-1) && second % (2ull * rate) == 0) {
        const QWORD c = second / (2ull * rate);
        if (c >= 1 && c <= 32)
            chans = static_cast<unsigned>(c);
    }
    return true;
}

// Records whose layout is the internal parameter struct's, field for field.
template <class Record, class Fx> BOOL setRecord(Effect *e, const void *params) {
    static_assert(sizeof(Record) == sizeof(typename Fx::Params));
    typename Fx::Params p;
    std::memcpy(&p, params, sizeof p);
    return static_cast<Fx *>(e)->setParams(p) ? ok() : fail(BASS_ERROR_ILLPARAM);
}
template <class Record, class Fx> BOOL getRecord(Effect *e, void *params) {
    static_assert(sizeof(Record) == sizeof(typename Fx::Params));
    std::memcpy(params, &static_cast<Fx *>(e)->params(), sizeof(Record));
    return ok();
}

// Calls visit.template operator()<Record, Fx>() for the effect numbers whose record maps
// field for field onto their parameters; the equalizer and unknown numbers go to other().
template <class Visit, class Other> BOOL withRecordType(int dsp, Visit &&visit, Other &&other) {
    switch (dsp) {
    case kRotate:
        return visit.template operator()<BASS_FX_DSPROTATE, Rotate>();
    case kEcho:
    case kEcho2:
    case kEcho21:
        return visit.template operator()<BASS_FX_DSPECHO, Echo>();
    case kFlanger:
    case kFlanger2:
        return visit.template operator()<BASS_FX_DSPFLANGER, Flanger>();
    case kReverb:
        return visit.template operator()<BASS_FX_DSPREVERB, Reverb>();
    case kLowPass:
        return visit.template operator()<BASS_FX_DSPLPF, LowPass>();
    case kCutter:
        return visit.template operator()<BASS_FX_DSPCUTTER, Cutter>();
    case kDynAmp:
        return visit.template operator()<BASS_FX_DSPDAMP, DynAmp>();
    case kAutoWah:
        return visit.template operator()<BASS_FX_DSPAUTOWAH, AutoWah>();
    default:
        return other();
    }
}

BOOL setParams(int dsp, Effect *e, void *params) {
    return withRecordType(
        dsp, [&]<class Record, class Fx>() { return setRecord<Record, Fx>(e, params); },
        [&]() -> BOOL {
            if (dsp != kPeakEq)
                return fail(BASS_ERROR_NOTAVAIL);
            const auto *r = static_cast<const BASS_FX_DSPPEAKEQ *>(params);
            EqBand b{r->lBand, r->lFreq, r->fBandwidth, r->fQ, r->fCenter, r->fGain};
            return static_cast<PeakEq *>(e)->setBand(b) ? ok() : fail(BASS_ERROR_ILLPARAM);
        });
}

BOOL getParams(int dsp, Effect *e, void *params) {
    return withRecordType(
        dsp, [&]<class Record, class Fx>() { return getRecord<Record, Fx>(e, params); },
        [&]() -> BOOL {
            if (dsp != kPeakEq)
                return fail(BASS_ERROR_NOTAVAIL);
            auto *r = static_cast<BASS_FX_DSPPEAKEQ *>(params);
            EqBand b;
            b.band = r->lBand;
            if (!static_cast<PeakEq *>(e)->getBand(b))
                return fail(BASS_ERROR_ILLPARAM);
            *r = {b.band, b.freq, b.bandwidth, b.q, b.centre, b.gain};
            return ok();
        });
}

// Looks up the attached effect for a parameter call; null after setting the error.
Effect *attachedEffect(Registry &reg, DWORD handle, int dsp) {
    reg.purge();
    if (!BASS_ChannelGetAttributes(handle, nullptr, nullptr, nullptr)) {
        fail(BASS_ERROR_HANDLE);
        return nullptr;
    }
    auto ch = reg.channels.find(handle);
    if (ch == reg.channels.end()) {
        fail(BASS_ERROR_NOTAVAIL);
        return nullptr;
    }
    auto fx = ch->second.find(dsp);
    if (fx == ch->second.end()) {
        fail(BASS_ERROR_NOTAVAIL);
        return nullptr;
    }
    return fx->second.effect.get();
}

// The common checks of a parameter call, then call(effect) under the registry's lock.
template <class Call> BOOL withAttachedEffect(DWORD handle, int dsp, void *params, Call &&call) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    Effect *e = attachedEffect(reg, handle, dsp);
    if (!e)
        return FALSE;
    if (!params)
        return fail(BASS_ERROR_ILLPARAM);
    return call(e);
}
} // namespace

extern "C" {

BOOL BASS_FX_DSP_Set(DWORD handle, int dsp, int priority) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.purge();
    unsigned rate = 0, chans = 0;
    if (!channelFormat(handle, rate, chans))
        return fail(BASS_ERROR_HANDLE);
    auto &effects = reg.channels[handle];
    if (effects.count(dsp))
        return ok();
    Attached a;
    a.effect = makeEffect(dsp, rate, chans);
    if (!a.effect) {
        if (effects.empty())
            reg.channels.erase(handle);
        return fail(BASS_ERROR_ILLTYPE);
    }
    a.dsp = BASS_ChannelSetDSP(handle, dspProc, a.effect.get(), priority);
    if (!a.dsp) {
        const int code = BASS_ErrorGetCode();
        if (effects.empty())
            reg.channels.erase(handle);
        return fail(code ? code : BASS_ERROR_UNKNOWN);
    }
    effects.emplace(dsp, std::move(a));
    return ok();
}

BOOL BASS_FX_DSP_Remove(DWORD handle, int dsp) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.purge();
    if (!BASS_ChannelGetAttributes(handle, nullptr, nullptr, nullptr))
        return fail(BASS_ERROR_HANDLE);
    auto ch = reg.channels.find(handle);
    if (ch == reg.channels.end())
        return fail(BASS_ERROR_NOTAVAIL);
    auto fx = ch->second.find(dsp);
    if (fx == ch->second.end())
        return fail(BASS_ERROR_NOTAVAIL);
    // Once RemoveDSP returns the effect is not running and never will again, so its state can go.
    BASS_ChannelRemoveDSP(handle, fx->second.dsp);
    ch->second.erase(fx);
    if (ch->second.empty())
        reg.channels.erase(ch);
    return ok();
}

BOOL BASS_FX_DSP_SetParameters(DWORD handle, int dsp, void *params) {
    return withAttachedEffect(handle, dsp, params,
                              [&](Effect *e) { return setParams(dsp, e, params); });
}

BOOL BASS_FX_DSP_GetParameters(DWORD handle, int dsp, void *params) {
    return withAttachedEffect(handle, dsp, params,
                              [&](Effect *e) { return getParams(dsp, e, params); });
}

BOOL BASS_FX_Free(void) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    for (auto &[handle, effects] : reg.channels) {
        // A channel freed meanwhile has dropped its DSPs already; this call then fails harmlessly.
        for (auto &[number, a] : effects)
            BASS_ChannelRemoveDSP(handle, a.dsp);
    }
    reg.channels.clear();
    return ok();
}

int BASS_FX_ErrorGetCode(void) {
    return t_error;
}

DWORD BASS_FX_CountEffects(void) {
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.purge();
    DWORD n = 0;
    for (const auto &[handle, effects] : reg.channels)
        n += static_cast<DWORD>(effects.size());
    return n;
}

} // extern "C"
