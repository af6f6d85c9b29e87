// The effects as plain C++ classes: constructed by the control thread for one channel's sample
// rate and channel count, then run block by block on the processing thread. Parameters are
// set from the control thread at any time and take effect at the start of the next block,
// smoothed so that the change does not click.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "dsp/handover.h"
#include "dsp/primitives.h"

namespace mirvane::fx {

// Effect numbers as callers know them.
enum EffectNumber : int {
    kSwap = 0,
    kRotate = 1,
    kEcho = 2,
    kFlanger = 3,
    kPeakEq = 5,
    kReverb = 6,
    kLowPass = 7,
    kCutter = 8,
    kFlanger2 = 9,
    kDynAmp = 11,
    kAutoWah = 12,
    kEcho2 = 13,
    kEcho21 = 15,
};

class Effect {
  public:
    Effect(unsigned rate, unsigned chans) : rate_(rate), chans_(chans) {}
    virtual ~Effect() = default;
    Effect(const Effect &) = delete;
    Effect &operator=(const Effect &) = delete;

    unsigned rate() const { return rate_; }
    unsigned chans() const { return chans_; }

    // Processing thread only: `buf` holds `frames` interleaved frames of chans() floats.
    virtual void process(float *buf, std::size_t frames) = 0;

  protected:
    const unsigned rate_;
    const unsigned chans_;
};

// An effect whose settings are the record P. setParams checks and clamps on the control thread;
// it returns false (and changes nothing) for values that are not numbers.
template <class P> class ParamEffect : public Effect {
  public:
    using Params = P;
    ParamEffect(unsigned rate, unsigned chans, const P &defaults)
        : Effect(rate, chans), control_(defaults), box_(defaults), live_(defaults) {}

    bool setParams(const P &p) {
        P clamped = p;
        if (!clamp(clamped))
            return false;
        control_ = clamped;
        box_.write(clamped);
        return true;
    }
    const P &params() const { return control_; } // control thread only

  protected:
    // Returns false when the record cannot be used; otherwise forces it into range.
    virtual bool clamp(P &p) const = 0;
    // Processing thread: true when new settings arrived since the last block (now in live_).
    bool fetch() { return box_.read(live_); }

    P control_; // control thread only
    TripleBuffer<P> box_;
    P live_; // processing thread only
};

// A value that glides to its target so that setting changes do not step.
struct Glide {
    float value = 0, target = 0, k = 1;
    void init(float v, unsigned rate, double seconds = 0.01) {
        value = target = v;
        k = static_cast<float>(1.0 - std::exp(-1.0 / (seconds * rate)));
    }
    float next() { return value += k * (target - value); }
};

// --- the effects -------------------------------------------------------------------------

class SwapChannels final : public Effect {
  public:
    using Effect::Effect;
    void process(float *buf, std::size_t frames) override;
};

struct RotateParams {
    float rate = 0.5f; // Hz: turns of the stereo image per second
};
class Rotate final : public ParamEffect<RotateParams> {
  public:
    Rotate(unsigned rate, unsigned chans) : ParamEffect(rate, chans, RotateParams{}) {}
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(RotateParams &p) const override;
    double phase_ = 0; // radians, processing thread only
};

struct EchoParams {
    float delayMs = 250;
    float feedback = 0.45f;
    float wet = 0.5f;
    float dry = 1.0f;
    float dampHz = 0; // 0: repeats keep their full bandwidth
};
inline constexpr float kMaxEchoDelayMs = 2000;

// Feedback echo on each channel; with `pingPong` the repeats of the mid signal alternate
// between left and right.
class Echo final : public ParamEffect<EchoParams> {
  public:
    Echo(unsigned rate, unsigned chans, const EchoParams &defaults, bool pingPong);
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(EchoParams &p) const override;
    std::size_t delaySamples(float ms) const;
    bool pingPong_;
    std::vector<DelayLine> lines_;
    std::vector<OnePole> damp_;
    std::size_t delay_, oldDelay_; // processing thread only
    std::size_t fadeLeft_ = 0, fadeLen_;
    Glide fb_, wet_, dry_;
};

struct FlangerParams {
    float minDelayMs = 0.5f;
    float depthMs = 4.5f;  // sweep above minDelayMs
    float rate = 0.2f;     // Hz
    float feedback = 0.5f; // -0.9 .. 0.9
    float wet = 0.6f;
    float dry = 0.4f;
    float stereoPhaseDeg = 0; // LFO offset of each further channel
};
inline constexpr float kMaxFlangerDelayMs = 25;

class Flanger final : public ParamEffect<FlangerParams> {
  public:
    Flanger(unsigned rate, unsigned chans, const FlangerParams &defaults, bool triangle);
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(FlangerParams &p) const override;
    bool triangle_;
    std::vector<DelayLine> lines_;
    double phase_ = 0; // cycles, processing thread only
    Glide min_, depth_, fb_, wet_, dry_;
};

struct ReverbParams {
    float time = 1.8f; // s: decay by 60 dB
    float wet = 0.3f;
    float dry = 1.0f;
    float preDelayMs = 20;
    float dampHz = 5000; // 0: no damping
};

class Reverb final : public ParamEffect<ReverbParams> {
  public:
    static constexpr int kCombs = 6;
    static constexpr int kAllpasses = 3;
    Reverb(unsigned rate, unsigned chans);
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(ReverbParams &p) const override;
    void tune();
    struct Comb {
        DelayLine line;
        std::size_t len = 1;
        float gain = 0;
        OnePole damp;
    };
    struct Allpass {
        DelayLine line;
        std::size_t len = 1;
    };
    struct Chan {
        DelayLine pre;
        Comb combs[kCombs];
        Allpass allpasses[kAllpasses];
    };
    std::vector<Chan> chan_;
    std::size_t preDelay_ = 0, oldPreDelay_ = 0; // processing thread only
    std::size_t fadeLeft_ = 0, fadeLen_ = 1;
    Glide wet_, dry_;
};

struct LowPassParams {
    float cutoff = 1000; // Hz, -3 dB
};
// Fourth-order Butterworth low-pass: two cascaded sections, 24 dB per octave.
class LowPass final : public ParamEffect<LowPassParams> {
  public:
    LowPass(unsigned rate, unsigned chans);
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(LowPassParams &p) const override;
    void design(float cutoff, BiquadCoeffs out[2]) const;
    BiquadCoeffs cur_[2], target_[2], step_[2];
    std::size_t rampLeft_ = 0;       // processing thread only
    std::vector<BiquadState> state_; // 2 per channel
};

struct CutterParams {
    float rate = 8;        // Hz: gate cycles per second
    float duty = 0.5f;     // share of each cycle that is open, from its start
    float rampMs = 2;      // open/close slope
    float closedDb = -100; // level while closed; -100 or below is silence
};
class Cutter final : public ParamEffect<CutterParams> {
  public:
    Cutter(unsigned rate, unsigned chans) : ParamEffect(rate, chans, CutterParams{}) {}
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(CutterParams &p) const override;
    double phase_ = 0; // cycles
    float gain_ = 1;
};

struct DynAmpParams {
    float targetDb = -16; // dBFS RMS the level is brought to
    float maxGainDb = 24;
    float riseS = 0.5f;      // time constant while the gain goes up
    float fallS = 0.02f;     // time constant while the gain goes down
    float ceilingDb = -0.5f; // peak limit; the output never exceeds it
    float gateDb = -60;      // below this RMS the gain is held
};
class DynAmp final : public ParamEffect<DynAmpParams> {
  public:
    DynAmp(unsigned rate, unsigned chans) : ParamEffect(rate, chans, DynAmpParams{}) {}
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(DynAmpParams &p) const override;
    double meanSquare_ = 0;
    float gain_ = 1;
};

struct AutoWahParams {
    float rate = 1.0f; // Hz
    float minHz = 350;
    float maxHz = 2800;
    float q = 4;
    float wet = 1.0f;
    float dry = 0.3f;
};
class AutoWah final : public ParamEffect<AutoWahParams> {
  public:
    AutoWah(unsigned rate, unsigned chans);
    void process(float *buf, std::size_t frames) override;

  private:
    bool clamp(AutoWahParams &p) const override;
    std::vector<SvfBandPass> filters_;
    double phase_ = 0; // cycles
    unsigned untilSteer_ = 0;
    SvfBandPass::Tuning tuning_;
    Glide wet_, dry_;
};

// Defaults of the variants that share a class.
EchoParams echoDefaults(int number);
FlangerParams flangerDefaults(int number);

// The effect behind a number with its defaults, or null for a number that names none.
std::unique_ptr<Effect> makeEffect(int number, unsigned rate, unsigned chans);

} // namespace mirvane::fx
