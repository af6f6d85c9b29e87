#include "dsp/peak_eq.h"

#include <algorithm>
#include <cmath>

namespace mirvane::fx {

PeakEq::~PeakEq() {
    delete active_;
}

bool PeakEq::setBand(EqBand b) {
    if (b.band < 0 || !std::isfinite(b.centre) || !std::isfinite(b.gain) ||
        !std::isfinite(b.bandwidth) || !std::isfinite(b.q) || b.centre <= 0 ||
        (b.q <= 0 && b.bandwidth <= 0))
        return false;
    // Past these the band is either a needle or flat, and the coefficients lose precision.
    if (b.q > 0)
        b.q = std::clamp(b.q, kEqMinQ, kEqMaxQ);
    else
        b.q = 0;
    b.bandwidth = std::clamp(b.bandwidth, kEqMinOctaves, kEqMaxOctaves);
    b.gain = std::clamp(b.gain, -kEqMaxGainDb, kEqMaxGainDb);
    control_[b.band] = b;

    auto *table = new Table;
    table->bands.reserve(control_.size());
    for (const auto &[index, p] : control_) {
        Band band;
        band.index = index;
        // A centre at or above half the sample rate cannot be filtered; such a band is left out
        // of the sound rather than folded back.
        if (p.centre < 0.5 * rate_) {
            band.zero = peakingCoeffs(rate_, p.centre, 0, p.bandwidth, p.q);
            band.target =
                p.gain != 0 ? peakingCoeffs(rate_, p.centre, p.gain, p.bandwidth, p.q) : band.zero;
        }
        band.state.resize(chans_);
        table->bands.push_back(std::move(band));
    }
    handover_.publish(table);
    return true;
}

bool PeakEq::getBand(EqBand &b) const {
    auto it = control_.find(b.band);
    if (it == control_.end())
        return false;
    b = it->second;
    b.freq = rate_;
    return true;
}

void PeakEq::process(float *buf, std::size_t frames) {
    if (Table *next = handover_.take()) {
        if (active_) {
            // Both tables are sorted by band index: carry each surviving band's filter over.
            auto old = active_->bands.begin();
            for (Band &b : next->bands) {
                while (old != active_->bands.end() && old->index < b.index)
                    ++old;
                if (old != active_->bands.end() && old->index == b.index) {
                    b.cur = old->cur;
                    b.running = old->running;
                    if (b.target == old->target) {
                        b.step = old->step;
                        b.rampLeft = old->rampLeft;
                    }
                    b.state.swap(old->state);
                }
            }
            handover_.retire(active_);
        }
        active_ = next;
    }
    if (!active_ || frames == 0)
        return;
    for (Band &b : active_->bands)
        runBand(b, buf, frames);
}

void PeakEq::runBand(Band &b, float *buf, std::size_t frames) {
    const unsigned chans = chans_;
    if (!b.running) {
        if (b.target.isIdentity()) {
            // Bypassed: only remember the last two inputs so the filter can start without a step.
            for (unsigned c = 0; c < chans; ++c) {
                BiquadState &s = b.state[c];
                const float last = buf[(frames - 1) * chans + c];
                s.x2 = frames >= 2 ? buf[(frames - 2) * chans + c] : s.x1;
                s.x1 = last;
            }
            return;
        }
        // An identity filter whose output history equals its input history is exactly where a
        // bypassed band stands; from there the coefficients glide to the target.
        b.running = true;
        b.cur = b.zero;
        for (BiquadState &s : b.state) {
            s.y1 = s.x1;
            s.y2 = s.x2;
        }
    }
    if (b.rampLeft == 0 && !(b.cur == b.target)) {
        // Gliding the coefficients over a fixed time keeps every intermediate filter stable (the
        // stable region of (a1, a2) is convex) and the change free of clicks, whatever the block.
        b.rampLeft = std::max<std::size_t>(1, rate_ / 100);
        const double n = static_cast<double>(b.rampLeft);
        b.step = {(b.target.b0 - b.cur.b0) / n, (b.target.b1 - b.cur.b1) / n,
                  (b.target.b2 - b.cur.b2) / n, (b.target.a1 - b.cur.a1) / n,
                  (b.target.a2 - b.cur.a2) / n};
    }
    std::size_t i = 0;
    for (; i < frames && b.rampLeft; ++i) {
        if (--b.rampLeft == 0) {
            b.cur = b.target;
        } else {
            b.cur.b0 += b.step.b0;
            b.cur.b1 += b.step.b1;
            b.cur.b2 += b.step.b2;
            b.cur.a1 += b.step.a1;
            b.cur.a2 += b.step.a2;
        }
        float *f = buf + i * chans;
        for (unsigned c = 0; c < chans; ++c)
            f[c] = static_cast<float>(b.state[c].run(b.cur, f[c]));
    }
    // Steady coefficients: one channel at a time, its state kept in registers.
    const BiquadCoeffs k = b.cur;
    for (unsigned c = 0; c < chans && i < frames; ++c) {
        BiquadState s = b.state[c];
        for (std::size_t j = i; j < frames; ++j) {
            float &v = buf[j * chans + c];
            v = static_cast<float>(s.run(k, v));
        }
        if (!std::isfinite(s.x1 + s.x2 + s.y1 + s.y2)) {
            // Something that was not a number reached the feedback, where it would stay for ever:
            // silence what it touched and start afresh.
            for (std::size_t j = 0; j < frames; ++j)
                if (!std::isfinite(buf[j * chans + c]))
                    buf[j * chans + c] = 0.0f;
            s = BiquadState{};
        }
        b.state[c] = s;
    }
    if (b.rampLeft == 0 && b.target.isIdentity()) {
        // Back at 0 dB: once the filter's memory has died away the band drops out of the path and
        // the sound is bit-for-bit the input again.
        bool quiet = true;
        for (const BiquadState &s : b.state)
            quiet = quiet && std::abs(s.x1 - s.y1) < 1e-9 && std::abs(s.x2 - s.y2) < 1e-9;
        if (quiet)
            b.running = false;
    }
}

} // namespace mirvane::fx
