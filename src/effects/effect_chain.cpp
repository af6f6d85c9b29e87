#include "effects/effect_chain.h"

#include <algorithm>

#include "bass_fx.h"
#include "playback/engine.h"

namespace mirvane {

namespace {

constexpr int kPollMs = 20;
constexpr const char *kObjectName = "effectChain";

bool ChannelExists(DWORD handle) {
    return handle != 0 && BASS_ChannelGetAttributes(handle, nullptr, nullptr, nullptr);
}

} // namespace

EffectChain &EffectChain::Of(PlaybackEngine &engine) {
    if (auto *chain = engine.findChild<EffectChain *>(kObjectName, Qt::FindDirectChildrenOnly))
        return *chain;
    return *new EffectChain(engine);
}

EffectChain::EffectChain(PlaybackEngine &engine) : QObject(&engine), engine_(engine) {
    setObjectName(kObjectName);
    values_.fill(eq::kDesignValue);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &EffectChain::Update);
    connect(&engine_, &PlaybackEngine::channelStarted, this, &EffectChain::ChannelStarted);
}

EffectChain::~EffectChain() {
    // The fades are the DSPs' user data: take them off channels that still play.
    for (const auto &c : channels_) {
        for (int i = 0; i < 2; ++i) {
            BASS_ChannelRemoveDSP(c->handle, c->mixes[i]);
            BASS_ChannelRemoveDSP(c->handle, c->taps[i]);
        }
    }
}

// ---- Channels --------------------------------------------------------------------------------

void EffectChain::ChannelStarted(DWORD handle) {
    DropFreedChannels();
    if (!ChannelExists(handle))
        return;
    auto c = std::make_unique<Channel>();
    c->handle = handle;
    // Taps and mixes first, while nothing sits between them: each fade starts at dry, so
    // whatever is attached next is faded in. Equal priorities run in the order they were set,
    // so the equalizer's tap runs after the effects' mix and before the equalizer.
    c->taps[0] =
        BASS_ChannelSetDSP(handle, &Crossfade::Tap, &c->effectsFade, effects::kPriority + 1);
    c->mixes[0] = BASS_ChannelSetDSP(handle, &Crossfade::Mix, &c->effectsFade, eq::kPriority);
    c->taps[1] = BASS_ChannelSetDSP(handle, &Crossfade::Tap, &c->eqFade, eq::kPriority);
    c->mixes[1] = BASS_ChannelSetDSP(handle, &Crossfade::Mix, &c->eqFade, eq::kPriority - 1);
    channels_.push_back(std::move(c));
    Update();
}

EffectChain::Channel *EffectChain::Current() {
    const DWORD handle = engine_.CurrentChannel();
    if (!channels_.empty() && channels_.back()->handle == handle)
        return ChannelExists(handle) ? channels_.back().get() : nullptr;
    // A channel started without the signal (or before this object existed).
    if (!ChannelExists(handle))
        return nullptr;
    ChannelStarted(handle);
    return !channels_.empty() && channels_.back()->handle == handle ? channels_.back().get()
                                                                    : nullptr;
}

void EffectChain::DropFreedChannels() {
    // Once the library no longer knows a channel, its DSPs have stopped for good.
    std::erase_if(channels_, [](const auto &c) { return !ChannelExists(c->handle); });
}

// ---- Equalizer -------------------------------------------------------------------------------

void EffectChain::SetEqualizerOn(bool on) {
    eqOn_ = on;
    Update();
}

void EffectChain::ApplyEqualizer() {
    SetEqualizerOn(true);
    if (Channel *c = Current(); c && c->eq) {
        for (int band = 0; band < eq::kBands; ++band)
            SendGain(*c, band);
    }
}

void EffectChain::SetEqBandGain(int band, int value) {
    if (band < 0 || band >= eq::kBands)
        return;
    values_[band] = value;
    if (Channel *c = Current(); c && c->eq)
        SendGain(*c, band);
}

void EffectChain::SendGain(const Channel &c, int band) const {
    BASS_FX_DSPPEAKEQ record{};
    record.lBand = band;
    BASS_FX_DSP_GetParameters(c.handle, BASS_FX_DSPFX_PEAKEQ, &record);
    record.fGain = eq::GainDb(values_[band]);
    BASS_FX_DSP_SetParameters(c.handle, BASS_FX_DSPFX_PEAKEQ, &record);
}

void EffectChain::UpdateEqualizer(Channel &c) {
    if (eqOn_ && !c.eq) {
        if (!c.eqFade.SettledOff()) {
            c.eqFade.SetOn(false);
            return;
        }
        DWORD frequency = 0;
        BASS_ChannelGetAttributes(c.handle, &frequency, nullptr, nullptr);
        if (!BASS_FX_DSP_Set(c.handle, BASS_FX_DSPFX_PEAKEQ, eq::kPriority))
            return;
        c.eq = true;
        BASS_FX_DSPPEAKEQ record{0, frequency, eq::kBandwidth, eq::kQ, 0.0f, 0.0f};
        for (int band = 0; band < eq::kBands; ++band) {
            record.lBand = band;
            record.fCenter = eq::kBandTable[band].centre;
            record.fGain = eq::GainDb(values_[band]);
            BASS_FX_DSP_SetParameters(c.handle, BASS_FX_DSPFX_PEAKEQ, &record);
        }
    }
    if (eqOn_) {
        c.eqFade.SetOn(true);
    } else if (c.eq) {
        c.eqFade.SetOn(false);
        if (c.eqFade.SettledOff()) {
            BASS_FX_DSP_Remove(c.handle, BASS_FX_DSPFX_PEAKEQ);
            c.eq = false;
        }
    }
}

// ---- Effects ---------------------------------------------------------------------------------

void EffectChain::SetEffect(int dsp, bool on) {
    for (std::size_t i = 0; i < effects::kEffectTable.size(); ++i) {
        if (effects::kEffectTable[i].dsp == dsp) {
            effectOn_[i] = on;
            Update();
        }
    }
}

bool EffectChain::EffectOn(int dsp) const {
    for (std::size_t i = 0; i < effects::kEffectTable.size(); ++i) {
        if (effects::kEffectTable[i].dsp == dsp)
            return effectOn_[i];
    }
    return false;
}

std::vector<int> EffectChain::WantedEffects() const {
    std::vector<int> wanted;
    for (std::size_t i = 0; i < effects::kEffectTable.size(); ++i) {
        if (effectOn_[i])
            wanted.push_back(effects::kEffectTable[i].dsp);
    }
    return wanted;
}

void EffectChain::UpdateEffects(Channel &c) {
    const std::vector<int> wanted = WantedEffects();
    if (wanted != c.effects) {
        // Effects are only ever added or removed while their fade rests at dry: one that
        // appears or vanishes mid-sound (or a new one whose state is still empty) is not heard.
        c.effectsFade.SetOn(false);
        if (!c.effectsFade.SettledOff())
            return;
        for (int dsp : c.effects)
            BASS_FX_DSP_Remove(c.handle, dsp);
        c.effects.clear();
        for (int dsp : wanted) {
            if (BASS_FX_DSP_Set(c.handle, dsp, effects::kPriority))
                c.effects.push_back(dsp);
        }
    }
    c.effectsFade.SetOn(!c.effects.empty());
}

std::vector<int> EffectChain::Attached() const {
    std::vector<int> out;
    const DWORD handle = engine_.CurrentChannel();
    for (const auto &c : channels_) {
        if (c->handle != handle || !ChannelExists(handle))
            continue;
        out = c->effects;
        if (c->eq)
            out.push_back(BASS_FX_DSPFX_PEAKEQ);
    }
    return out;
}

// ---- Driving ---------------------------------------------------------------------------------

void EffectChain::Update() {
    DropFreedChannels();
    Channel *c = Current();
    if (!c) {
        poll_.stop();
        return;
    }
    UpdateEqualizer(*c);
    UpdateEffects(*c);
    const bool pending = c->effects != WantedEffects() || c->eq != eqOn_ ||
                         !(c->effectsFade.SettledOn() || c->effectsFade.SettledOff()) ||
                         !(c->eqFade.SettledOn() || c->eqFade.SettledOff());
    if (pending && !poll_.isActive())
        poll_.start();
    else if (!pending)
        poll_.stop();
}

} // namespace mirvane
