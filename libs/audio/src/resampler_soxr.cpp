// Resampling through libsoxr.
#include "resampler.h"

#include <soxr.h>

namespace mirvane::audio {
namespace {

class SoxrResampler final : public Resampler {
  public:
    explicit SoxrResampler(soxr_t s) : s_(s) {}
    ~SoxrResampler() override { soxr_delete(s_); }
    size_t process(const float *in, size_t inFrames, float *out, size_t outCapacity) override {
        size_t used = 0, made = 0;
        soxr_process(s_, in, in ? inFrames : 0, &used, out, outCapacity, &made);
        return made;
    }
    void reset() override { soxr_clear(s_); }

  private:
    soxr_t s_;
};

} // namespace

std::unique_ptr<Resampler> Resampler::create(double inRate, double outRate) {
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // Medium quality: transparent for playback at a fraction of the high-quality cost.
    const soxr_quality_spec_t q = soxr_quality_spec(SOXR_MQ, 0);
    soxr_t s = soxr_create(inRate, outRate, 2, &error, &io, &q, nullptr);
    if (!s || error)
        return nullptr;
    return std::make_unique<SoxrResampler>(s);
}

} // namespace mirvane::audio
