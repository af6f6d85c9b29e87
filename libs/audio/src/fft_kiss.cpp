// FFT through kissfft.
#include "fft.h"

#include <kissfft/kiss_fftr.h>

#include <cmath>
#include <vector>

namespace mirvane::audio {
namespace {

struct Plan {
    Plan()
        : cfg(kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr)), window(kFftSize), in(kFftSize),
          out(kFftSize / 2 + 1) {
        for (int i = 0; i < kFftSize; ++i)
            window[size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFftSize));
    }
    ~Plan() { kiss_fftr_free(cfg); }
    kiss_fftr_cfg cfg;
    std::vector<float> window;
    std::vector<kiss_fft_scalar> in;
    std::vector<kiss_fft_cpx> out;
};

} // namespace

void fftMagnitudes(const float *in, float *out) {
    // kiss_fftr keeps scratch space in its plan, so a plan must not be shared between threads.
    thread_local Plan plan;
    for (int i = 0; i < kFftSize; ++i)
        plan.in[size_t(i)] = in[i] * plan.window[size_t(i)];
    kiss_fftr(plan.cfg, plan.in.data(), plan.out.data());
    // A Hann window halves the peak of a bin-centred sine: |X| = A * N / 4, hence 2 / N.
    const float scale = 2.0f / kFftSize;
    for (int k = 0; k < kFftSize / 2; ++k)
        out[k] = std::hypot(plan.out[size_t(k)].r, plan.out[size_t(k)].i) * scale;
}

} // namespace mirvane::audio
