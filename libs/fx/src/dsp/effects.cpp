#include "dsp/effects.h"

#include "dsp/peak_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mirvane::fx {
namespace {

bool finite(std::initializer_list<float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

float clampf(float v, float lo, float hi) {
    return std::min(std::max(v, lo), hi);
}

double wrap(double cycles) {
    return cycles - std::floor(cycles);
}

} // namespace

// --- swap ---------------------------------------------------------------------------------

void SwapChannels::process(float *buf, std::size_t frames) {
    if (chans_ < 2)
        return;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_)
        std::swap(buf[0], buf[1]);
}

// --- rotate -------------------------------------------------------------------------------

bool Rotate::clamp(RotateParams &p) const {
    if (!finite({p.rate}))
        return false;
    p.rate = clampf(p.rate, 0.01f, 20.0f);
    return true;
}

void Rotate::process(float *buf, std::size_t frames) {
    fetch();
    if (chans_ < 2)
        return;
    // The (left, right) pair is turned by an angle that grows by half a turn per period, so a
    // centred sound travels right, centre, left and back to centre once per period while the
    // total energy stays the same.
    const double step = std::numbers::pi * live_.rate / rate_;
    // A rotating phasor per sample, re-anchored to the exact angle at every block.
    float c = static_cast<float>(std::cos(phase_)), s = static_cast<float>(std::sin(phase_));
    const float dc = static_cast<float>(std::cos(step)), ds = static_cast<float>(std::sin(step));
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        const float l = buf[0], r = buf[1];
        buf[0] = c * l - s * r;
        buf[1] = s * l + c * r;
        const float nc = c * dc - s * ds;
        s = s * dc + c * ds;
        c = nc;
    }
    phase_ = std::fmod(phase_ + step * static_cast<double>(frames), kTwoPi);
}

// --- echoes -------------------------------------------------------------------------------

EchoParams echoDefaults(int number) {
    switch (number) {
    case kEcho2:
        return {375, 0.5f, 0.6f, 1.0f, 0};
    case kEcho21:
        return {500, 0.6f, 0.5f, 1.0f, 2500};
    default:
        return {250, 0.45f, 0.5f, 1.0f, 0};
    }
}

Echo::Echo(unsigned rate, unsigned chans, const EchoParams &defaults, bool pingPong)
    : ParamEffect(rate, chans, defaults), pingPong_(pingPong) {
    const auto cap = static_cast<std::size_t>(kMaxEchoDelayMs * rate / 1000.0) + 2;
    lines_.assign(chans, DelayLine(cap));
    damp_.resize(chans);
    delay_ = oldDelay_ = delaySamples(defaults.delayMs);
    fadeLen_ = std::max<std::size_t>(1, rate / 100); // 10 ms cross-fade between old and new tap
    fb_.init(defaults.feedback, rate);
    wet_.init(defaults.wet, rate);
    dry_.init(defaults.dry, rate);
    for (auto &d : damp_)
        d.setCutoff(rate, defaults.dampHz > 0 ? defaults.dampHz : rate);
}

bool Echo::clamp(EchoParams &p) const {
    if (!finite({p.delayMs, p.feedback, p.wet, p.dry, p.dampHz}))
        return false;
    p.delayMs = clampf(p.delayMs, 1.0f, kMaxEchoDelayMs);
    p.feedback = clampf(p.feedback, 0.0f, 0.95f);
    p.wet = clampf(p.wet, 0.0f, 2.0f);
    p.dry = clampf(p.dry, 0.0f, 2.0f);
    p.dampHz = clampf(p.dampHz, 0.0f, 96000.0f);
    return true;
}

std::size_t Echo::delaySamples(float ms) const {
    return std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(ms * rate_ / 1000.0)));
}

void Echo::process(float *buf, std::size_t frames) {
    if (fetch()) {
        const std::size_t d = delaySamples(live_.delayMs);
        if (d != delay_) {
            oldDelay_ = delay_;
            delay_ = d;
            fadeLeft_ = fadeLen_;
        }
        fb_.target = live_.feedback;
        wet_.target = live_.wet;
        dry_.target = live_.dry;
        for (auto &f : damp_)
            f.setCutoff(rate_, live_.dampHz > 0 ? live_.dampHz : rate_);
    }
    const bool pp = pingPong_ && chans_ >= 2;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        const float fb = fb_.next(), wet = wet_.next(), dry = dry_.next();
        float a = 1.0f;
        if (fadeLeft_)
            a = 1.0f - static_cast<float>(--fadeLeft_) / static_cast<float>(fadeLen_);
        auto tap = [&](unsigned c) {
            float d = lines_[c].read(delay_);
            if (a < 1.0f)
                d = a * d + (1.0f - a) * lines_[c].read(oldDelay_);
            return damp_[c].run(d);
        };
        if (pp) {
            const float dl = tap(0), dr = tap(1);
            const float mid = 0.5f * (buf[0] + buf[1]);
            lines_[0].write(mid + fb * dr);
            lines_[1].write(fb * dl);
            buf[0] = dry * buf[0] + wet * dl;
            buf[1] = dry * buf[1] + wet * dr;
            for (unsigned c = 2; c < chans_; ++c)
                buf[c] *= dry;
        } else {
            for (unsigned c = 0; c < chans_; ++c) {
                const float d = tap(c);
                lines_[c].write(buf[c] + fb * d);
                buf[c] = dry * buf[c] + wet * d;
            }
        }
    }
}

// --- flangers -----------------------------------------------------------------------------

FlangerParams flangerDefaults(int number) {
    if (number == kFlanger2)
        return {1.0f, 7.0f, 0.5f, 0.3f, 0.65f, 0.5f, 90.0f};
    return {0.5f, 4.5f, 0.2f, 0.5f, 0.6f, 0.4f, 0.0f};
}

Flanger::Flanger(unsigned rate, unsigned chans, const FlangerParams &defaults, bool triangle)
    : ParamEffect(rate, chans, defaults), triangle_(triangle) {
    lines_.assign(chans,
                  DelayLine(static_cast<std::size_t>(kMaxFlangerDelayMs * rate / 1000.0) + 4));
    min_.init(defaults.minDelayMs, rate, 0.05);
    depth_.init(defaults.depthMs, rate, 0.05);
    fb_.init(defaults.feedback, rate);
    wet_.init(defaults.wet, rate);
    dry_.init(defaults.dry, rate);
}

bool Flanger::clamp(FlangerParams &p) const {
    if (!finite({p.minDelayMs, p.depthMs, p.rate, p.feedback, p.wet, p.dry, p.stereoPhaseDeg}))
        return false;
    p.minDelayMs = clampf(p.minDelayMs, 0.05f, kMaxFlangerDelayMs / 2);
    p.depthMs = clampf(p.depthMs, 0.0f, kMaxFlangerDelayMs / 2);
    p.rate = clampf(p.rate, 0.01f, 10.0f);
    p.feedback = clampf(p.feedback, -0.9f, 0.9f);
    p.wet = clampf(p.wet, 0.0f, 2.0f);
    p.dry = clampf(p.dry, 0.0f, 2.0f);
    p.stereoPhaseDeg = clampf(p.stereoPhaseDeg, -360.0f, 360.0f);
    return true;
}

void Flanger::process(float *buf, std::size_t frames) {
    if (fetch()) {
        min_.target = live_.minDelayMs;
        depth_.target = live_.depthMs;
        fb_.target = live_.feedback;
        wet_.target = live_.wet;
        dry_.target = live_.dry;
    }
    const double step = live_.rate / rate_;
    const double offset = live_.stereoPhaseDeg / 360.0;
    const double msToSamples = rate_ / 1000.0;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        const float mn = min_.next(), depth = depth_.next();
        const float fb = fb_.next(), wet = wet_.next(), dry = dry_.next();
        double delay = 0;
        for (unsigned c = 0; c < chans_; ++c) {
            if (c == 0 || offset != 0) {
                // Sweep position 0..1, at 0 (the shortest delay) when the phase is 0.
                const double ph = wrap(phase_ + offset * c);
                const double sweep =
                    triangle_ ? 1.0 - std::abs(1.0 - 2.0 * ph) : 0.5 - 0.5 * std::cos(kTwoPi * ph);
                delay = std::max(1.0, (mn + depth * sweep) * msToSamples);
            }
            const float d = lines_[c].readFrac(delay);
            lines_[c].write(buf[c] + fb * d);
            buf[c] = dry * buf[c] + wet * d;
        }
        phase_ = wrap(phase_ + step);
    }
}

// --- reverb -------------------------------------------------------------------------------

namespace {
// Mutually prime-ish comb and allpass lengths in ms; the right channel's are a little longer
// so that the two tails are uncorrelated.
constexpr double kCombMs[Reverb::kCombs] = {25.31, 26.94, 28.96, 30.75, 32.24, 33.81};
constexpr double kAllpassMs[Reverb::kAllpasses] = {12.61, 7.73, 5.10};
constexpr double kSpreadMs = 0.52;
constexpr float kAllpassGain = 0.5f;
constexpr float kMaxPreDelayMs = 200;
} // namespace

Reverb::Reverb(unsigned rate, unsigned chans) : ParamEffect(rate, chans, ReverbParams{}) {
    chan_.resize(chans);
    const double ms = rate / 1000.0;
    for (unsigned c = 0; c < chans; ++c) {
        const double spread = (c % 2) * kSpreadMs;
        Chan &ch = chan_[c];
        ch.pre = DelayLine(static_cast<std::size_t>(kMaxPreDelayMs * ms) + 2);
        for (int k = 0; k < kCombs; ++k) {
            ch.combs[k].len = static_cast<std::size_t>((kCombMs[k] + spread) * ms);
            ch.combs[k].line = DelayLine(ch.combs[k].len);
        }
        for (int k = 0; k < kAllpasses; ++k) {
            ch.allpasses[k].len =
                std::max<std::size_t>(1, static_cast<std::size_t>((kAllpassMs[k] + spread) * ms));
            ch.allpasses[k].line = DelayLine(ch.allpasses[k].len);
        }
    }
    wet_.init(control_.wet, rate);
    dry_.init(control_.dry, rate);
    live_ = control_;
    fadeLen_ = std::max<std::size_t>(1, rate / 100);
    tune();
    fadeLeft_ = 0;
}

bool Reverb::clamp(ReverbParams &p) const {
    if (!finite({p.time, p.wet, p.dry, p.preDelayMs, p.dampHz}))
        return false;
    p.time = clampf(p.time, 0.1f, 20.0f);
    p.wet = clampf(p.wet, 0.0f, 2.0f);
    p.dry = clampf(p.dry, 0.0f, 2.0f);
    p.preDelayMs = clampf(p.preDelayMs, 0.0f, kMaxPreDelayMs);
    p.dampHz = clampf(p.dampHz, 0.0f, 96000.0f);
    return true;
}

void Reverb::tune() {
    // Each comb loses 60 dB over live_.time seconds whatever its length, so the tail decays
    // at one rate.
    for (Chan &ch : chan_) {
        for (Comb &cb : ch.combs) {
            cb.gain = static_cast<float>(std::pow(10.0, -3.0 * cb.len / (live_.time * rate_)));
            cb.damp.setCutoff(rate_, live_.dampHz > 0 ? live_.dampHz : rate_);
        }
    }
    const auto pre = static_cast<std::size_t>(std::lround(live_.preDelayMs * rate_ / 1000.0));
    if (pre != preDelay_) {
        // Moving the tap at once would step the signal: cross-fade from the old tap instead.
        oldPreDelay_ = preDelay_;
        preDelay_ = pre;
        fadeLeft_ = fadeLen_;
    }
}

void Reverb::process(float *buf, std::size_t frames) {
    if (fetch()) {
        tune();
        wet_.target = live_.wet;
        dry_.target = live_.dry;
    }
    constexpr float kCombScale = 1.0f / kCombs;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        const float wet = wet_.next(), dry = dry_.next();
        float a = 1.0f;
        if (fadeLeft_)
            a = 1.0f - static_cast<float>(--fadeLeft_) / static_cast<float>(fadeLen_);
        for (unsigned c = 0; c < chans_; ++c) {
            Chan &ch = chan_[c];
            ch.pre.write(buf[c]);
            // read(1) is the sample just written: no delay.
            float in = ch.pre.read(preDelay_ + 1);
            if (a < 1.0f)
                in = a * in + (1.0f - a) * ch.pre.read(oldPreDelay_ + 1);
            float sum = 0;
            for (Comb &cb : ch.combs) {
                const float d = cb.line.read(cb.len);
                cb.line.write(in + cb.gain * cb.damp.run(d));
                sum += d;
            }
            float v = sum * kCombScale;
            for (Allpass &ap : ch.allpasses) {
                const float d = ap.line.read(ap.len);
                const float w = v + kAllpassGain * d;
                ap.line.write(w);
                v = d - kAllpassGain * w;
            }
            buf[c] = dry * buf[c] + wet * v;
        }
    }
}

// --- low-pass -----------------------------------------------------------------------------

LowPass::LowPass(unsigned rate, unsigned chans) : ParamEffect(rate, chans, LowPassParams{}) {
    design(control_.cutoff, cur_);
    design(control_.cutoff, target_);
    state_.resize(2 * chans);
}

bool LowPass::clamp(LowPassParams &p) const {
    if (!finite({p.cutoff}))
        return false;
    p.cutoff = clampf(p.cutoff, 20.0f, 0.45f * rate_);
    return true;
}

void LowPass::design(float cutoff, BiquadCoeffs out[2]) const {
    const double fc = std::min<double>(cutoff, 0.45 * rate_);
    out[0] = lowPassCoeffs(rate_, fc, 0.54119610);
    out[1] = lowPassCoeffs(rate_, fc, 1.30656296);
}

void LowPass::process(float *buf, std::size_t frames) {
    if (fetch()) {
        design(live_.cutoff, target_);
        // Gliding the coefficients keeps every intermediate filter stable (the stable region of
        // (a1, a2) is convex) and avoids a click.
        rampLeft_ = std::max<std::size_t>(1, rate_ / 50);
        const double n = static_cast<double>(rampLeft_);
        for (int s = 0; s < 2; ++s) {
            step_[s] = {(target_[s].b0 - cur_[s].b0) / n, (target_[s].b1 - cur_[s].b1) / n,
                        (target_[s].b2 - cur_[s].b2) / n, (target_[s].a1 - cur_[s].a1) / n,
                        (target_[s].a2 - cur_[s].a2) / n};
        }
    }
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        if (rampLeft_) {
            for (int s = 0; s < 2; ++s) {
                if (rampLeft_ == 1) {
                    cur_[s] = target_[s];
                    continue;
                }
                cur_[s].b0 += step_[s].b0;
                cur_[s].b1 += step_[s].b1;
                cur_[s].b2 += step_[s].b2;
                cur_[s].a1 += step_[s].a1;
                cur_[s].a2 += step_[s].a2;
            }
            --rampLeft_;
        }
        for (unsigned c = 0; c < chans_; ++c) {
            double v = buf[c];
            v = state_[2 * c].run(cur_[0], v);
            v = state_[2 * c + 1].run(cur_[1], v);
            buf[c] = static_cast<float>(v);
        }
    }
}

// --- cutter -------------------------------------------------------------------------------

bool Cutter::clamp(CutterParams &p) const {
    if (!finite({p.rate, p.duty, p.rampMs, p.closedDb}))
        return false;
    p.rate = clampf(p.rate, 0.1f, 50.0f);
    p.duty = clampf(p.duty, 0.0f, 1.0f);
    p.rampMs = clampf(p.rampMs, 0.1f, 50.0f);
    p.closedDb = clampf(p.closedDb, -100.0f, 0.0f);
    return true;
}

void Cutter::process(float *buf, std::size_t frames) {
    fetch();
    const double step = live_.rate / rate_;
    const float closed = live_.closedDb <= -100.0f ? 0.0f : dbToGain(live_.closedDb);
    // The gain slews at a fixed speed, so each opening and closing is a linear ramp.
    const float slew = 1.0f / std::max(1.0f, live_.rampMs * rate_ / 1000.0f);
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        const float target = phase_ < live_.duty ? 1.0f : closed;
        if (gain_ < target)
            gain_ = std::min(target, gain_ + slew);
        else if (gain_ > target)
            gain_ = std::max(target, gain_ - slew);
        for (unsigned c = 0; c < chans_; ++c)
            buf[c] *= gain_;
        phase_ += step;
        if (phase_ >= 1.0)
            phase_ -= 1.0;
    }
}

// --- dynamic amplifier --------------------------------------------------------------------

bool DynAmp::clamp(DynAmpParams &p) const {
    if (!finite({p.targetDb, p.maxGainDb, p.riseS, p.fallS, p.ceilingDb, p.gateDb}))
        return false;
    p.targetDb = clampf(p.targetDb, -60.0f, 0.0f);
    p.maxGainDb = clampf(p.maxGainDb, 0.0f, 60.0f);
    p.riseS = clampf(p.riseS, 0.001f, 60.0f);
    p.fallS = clampf(p.fallS, 0.001f, 60.0f);
    p.ceilingDb = clampf(p.ceilingDb, -40.0f, 0.0f);
    p.gateDb = clampf(p.gateDb, -120.0f, 0.0f);
    return true;
}

void DynAmp::process(float *buf, std::size_t frames) {
    fetch();
    const double detectK = 1.0 - std::exp(-1.0 / (0.1 * rate_)); // 100 ms level detector
    const float riseK = static_cast<float>(1.0 - std::exp(-1.0 / (live_.riseS * rate_)));
    const float fallK = static_cast<float>(1.0 - std::exp(-1.0 / (live_.fallS * rate_)));
    const double targetMs = std::pow(10.0, live_.targetDb / 10.0);
    const double gateMs = std::pow(10.0, live_.gateDb / 10.0);
    const float maxGain = dbToGain(live_.maxGainDb);
    const float ceiling = dbToGain(live_.ceilingDb);
    const double perChan = 1.0 / chans_;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        double sq = 0;
        float peak = 0;
        for (unsigned c = 0; c < chans_; ++c) {
            sq += static_cast<double>(buf[c]) * buf[c];
            peak = std::max(peak, std::abs(buf[c]));
        }
        meanSquare_ += detectK * (sq * perChan - meanSquare_);
        if (meanSquare_ > gateMs) {
            const float want =
                std::min(maxGain, static_cast<float>(std::sqrt(targetMs / meanSquare_)));
            gain_ += (want < gain_ ? fallK : riseK) * (want - gain_);
        }
        // Instant peak limiting: the output never passes the ceiling, and the slow gain resumes
        // from the limited value.
        if (peak * gain_ > ceiling)
            gain_ = ceiling / peak;
        for (unsigned c = 0; c < chans_; ++c)
            buf[c] *= gain_;
    }
}

// --- auto-wah -----------------------------------------------------------------------------

AutoWah::AutoWah(unsigned rate, unsigned chans) : ParamEffect(rate, chans, AutoWahParams{}) {
    filters_.resize(chans);
    wet_.init(control_.wet, rate);
    dry_.init(control_.dry, rate);
}

bool AutoWah::clamp(AutoWahParams &p) const {
    if (!finite({p.rate, p.minHz, p.maxHz, p.q, p.wet, p.dry}))
        return false;
    const float top = 0.45f * rate_;
    p.rate = clampf(p.rate, 0.01f, 20.0f);
    p.minHz = clampf(p.minHz, 20.0f, top);
    p.maxHz = clampf(p.maxHz, p.minHz, top);
    p.q = clampf(p.q, 0.3f, 30.0f);
    p.wet = clampf(p.wet, 0.0f, 2.0f);
    p.dry = clampf(p.dry, 0.0f, 2.0f);
    return true;
}

void AutoWah::process(float *buf, std::size_t frames) {
    if (fetch()) {
        wet_.target = live_.wet;
        dry_.target = live_.dry;
    }
    constexpr std::size_t kControlEvery = 16; // the centre moves slowly enough to steer in steps
    const double step = live_.rate / rate_;
    const double span = std::log(std::max(1.0f, live_.maxHz / live_.minHz));
    const float k = 1.0f / live_.q;
    const double nyq = 0.49 * rate_;
    for (std::size_t i = 0; i < frames; ++i, buf += chans_) {
        if (untilSteer_-- == 0) {
            untilSteer_ = kControlEvery - 1;
            // The centre sweeps evenly in octaves, starting at the lowest.
            const double sweep = 0.5 - 0.5 * std::cos(kTwoPi * phase_);
            const double f = std::min(nyq, live_.minHz * std::exp(span * sweep));
            tuning_.set(static_cast<float>(std::tan(std::numbers::pi * f / rate_)), k);
        }
        const float wet = wet_.next(), dry = dry_.next();
        for (unsigned c = 0; c < chans_; ++c)
            buf[c] = dry * buf[c] + wet * filters_[c].run(buf[c], tuning_);
        phase_ = wrap(phase_ + step);
    }
}

// --- by number ----------------------------------------------------------------------------

std::unique_ptr<Effect> makeEffect(int number, unsigned rate, unsigned chans) {
    switch (number) {
    case kSwap:
        return std::make_unique<SwapChannels>(rate, chans);
    case kRotate:
        return std::make_unique<Rotate>(rate, chans);
    case kEcho:
        return std::make_unique<Echo>(rate, chans, echoDefaults(number), false);
    case kEcho2:
        return std::make_unique<Echo>(rate, chans, echoDefaults(number), true);
    case kEcho21:
        return std::make_unique<Echo>(rate, chans, echoDefaults(number), false);
    case kFlanger:
        return std::make_unique<Flanger>(rate, chans, flangerDefaults(number), false);
    case kFlanger2:
        return std::make_unique<Flanger>(rate, chans, flangerDefaults(number), true);
    case kPeakEq:
        return std::make_unique<PeakEq>(rate, chans);
    case kReverb:
        return std::make_unique<Reverb>(rate, chans);
    case kLowPass:
        return std::make_unique<LowPass>(rate, chans);
    case kCutter:
        return std::make_unique<Cutter>(rate, chans);
    case kDynAmp:
        return std::make_unique<DynAmp>(rate, chans);
    case kAutoWah:
        return std::make_unique<AutoWah>(rate, chans);
    default:
        return nullptr;
    }
}

} // namespace mirvane::fx
