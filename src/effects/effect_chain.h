#pragma once
// EffectChain: what the equalizer window and the "DSP effects" page ask of the sound, applied
// to the channel the engine plays and carried over to every channel it starts.
//
// There is one per playback engine (Of), created on first use as the engine's child and
// connected once to its channelStarted signal. On a new channel it attaches the equalizer
// (when on) and then the ticked effects in the page's order, so the order never depends on
// which window was built first or on the order of clicks.
//
// Switching never clicks. Each channel gets two fades (Crossfade): one around the effects
// (priority 1, between a tap at priority 2 and a mix at priority 0) and one around the
// equalizer (a tap at priority 0 set before it, a mix at priority -1). A change of the ticked
// set fades the effects out, swaps them while the fade rests at dry, and fades them in again;
// turning the equalizer on or off fades it. Band gains glide in the effects library itself.
// A fade runs where the channel is processed, so a change completes once that part of the
// sound has been made; a poll timer finishes pending changes (a paused channel waits).
//
// GUI thread only. Library results are not looked at: without a channel nothing happens, and
// the next channel gets what is switched on.

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

#include "bass.h"
#include "effects/crossfade.h"
#include "effects/effect_table.h"
#include "effects/equalizer_bands.h"

namespace mirvane {

class PlaybackEngine;

class EffectChain : public QObject {
    Q_OBJECT
  public:
    // The engine's chain; made (and connected) the first time it is asked for.
    static EffectChain &Of(PlaybackEngine &engine);
    ~EffectChain() override;

    // ---- Equalizer ---------------------------------------------------------------------------
    // Whether the equalizer goes with every new channel. Does not touch the channel that plays.
    void SetEqualizerWanted(bool on) { eqOn_ = on; }
    bool EqualizerOn() const { return eqOn_; }
    // On: attaches the equalizer to the channel that plays and sends all six gains. Off: fades
    // it out of that channel and detaches it.
    void SetEqualizerOn(bool on);
    // The equalizer attached to the channel that plays, all six bands sent; it stays on for the
    // channels that follow.
    void ApplyEqualizer();
    // Band 0..5 gets the gain of slider value 0..19 (10 - value dB); kept for later channels
    // and sent at once when the equalizer is on the channel. Out of range: nothing.
    void SetEqBandGain(int band, int value);
    int BandValue(int band) const { return band >= 0 && band < eq::kBands ? values_[band] : 0; }

    // ---- Effects -----------------------------------------------------------------------------
    // Effect number dsp (one of the page's twelve) on or off, for the channel that plays and
    // every later one. Other numbers: nothing.
    void SetEffect(int dsp, bool on);
    bool EffectOn(int dsp) const;

    // ---- Inspection --------------------------------------------------------------------------
    // Effect numbers attached to the channel that plays, in chain order (the equalizer last).
    std::vector<int> Attached() const;
    // No fade or swap is waiting to be finished.
    bool Idle() const { return !poll_.isActive(); }

  private:
    explicit EffectChain(PlaybackEngine &engine);
    struct Channel {
        DWORD handle = 0;
        Crossfade effectsFade, eqFade;
        HDSP taps[2] = {0, 0}, mixes[2] = {0, 0};
        std::vector<int> effects; // attached, in chain order
        bool eq = false;          // the equalizer is attached
    };
    void ChannelStarted(DWORD handle);
    // The state of the engine's current channel, made when first needed; null without one.
    Channel *Current();
    void DropFreedChannels();
    void Update();
    void UpdateEffects(Channel &c);
    void UpdateEqualizer(Channel &c);
    void SendGain(const Channel &c, int band) const;
    std::vector<int> WantedEffects() const;

    PlaybackEngine &engine_;
    bool eqOn_ = false;
    std::array<int, eq::kBands> values_{};
    std::array<bool, effects::kEffects> effectOn_{};
    // Channels whose DSPs may still run: the current one last. A freed channel's state goes
    // once the library no longer knows it.
    std::vector<std::unique_ptr<Channel>> channels_;
    QTimer poll_; // runs while a fade has to finish
};

} // namespace mirvane
