// Tracker music (MOD, MTM, S3M, XM, IT) through libopenmpt.
#include "decoder.h"

#include "bass.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace mirvane::audio {
namespace {

constexpr int64_t kMaxModuleBytes = 64 << 20;

bool isSupportedType(const char *type) {
    static const char *const kTypes[] = {"mod", "mtm", "s3m", "xm", "it"};
    for (const char *t : kTypes)
        if (std::strcmp(type, t) == 0)
            return true;
    return false;
}

// The title field as the file stores it (8-bit, no conversion): libopenmpt's metadata comes
// re-encoded as UTF-8, which a caller that reads the bytes as Latin-1 would show garbled.
// Where each format keeps it: MOD at 0 (20 bytes), MTM at 4 (20), S3M at 0 (28), XM at 17
// (20), IT at 4 (26). Cut at the first zero byte; trailing blanks dropped.
std::string storedTitle(const std::string &type, const std::vector<uint8_t> &data) {
    size_t at = 0, len = 0;
    if (type == "mod")
        at = 0, len = 20;
    else if (type == "mtm")
        at = 4, len = 20;
    else if (type == "s3m")
        at = 0, len = 28;
    else if (type == "xm")
        at = 17, len = 20;
    else if (type == "it")
        at = 4, len = 26;
    if (len == 0 || data.size() < at + len)
        return {};
    std::string t(reinterpret_cast<const char *>(data.data() + at), len);
    t.resize(std::strlen(t.c_str()));
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    return t;
}

class OpenmptDecoder final : public ModuleDecoder {
  public:
    OpenmptDecoder(openmpt_module *mod, int rate, std::string title)
        : mod_(mod), rate_(rate), title_(std::move(title)) {
        const double seconds = openmpt_module_get_duration_seconds(mod_);
        frames_ = seconds > 0 ? uint64_t(std::llround(seconds * rate_)) : 0;
        orders_ = uint32_t(std::max(0, openmpt_module_get_num_orders(mod_)));
    }
    ~OpenmptDecoder() override { openmpt_module_destroy(mod_); }
    int rate() const override { return rate_; }
    int channels() const override { return 2; }
    uint64_t frames() const override { return frames_; }
    size_t read(float *out, size_t frames) override {
        return openmpt_module_read_interleaved_float_stereo(mod_, int32_t(rate_), frames, out);
    }
    bool seek(uint64_t frame) override {
        openmpt_module_set_position_seconds(mod_, double(frame) / rate_);
        return true;
    }
    std::string title() const override { return title_; }
    uint32_t orders() const override { return orders_; }

  private:
    openmpt_module *mod_;
    int rate_;
    std::string title_;
    uint64_t frames_ = 0;
    uint32_t orders_ = 0;
};

} // namespace

bool probeModule(Source &src) {
    std::vector<uint8_t> head(openmpt_probe_file_header_get_recommended_size());
    const size_t got = src.peek(0, head.data(), head.size());
    if (got == 0)
        return false;
    const int r = openmpt_probe_file_header(
        OPENMPT_PROBE_FILE_HEADER_FLAGS_MODULES, head.data(), got, uint64_t(src.size()),
        openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, nullptr, nullptr);
    return r == OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS;
}

std::unique_ptr<ModuleDecoder> openModule(std::unique_ptr<Source> src, int rate, bool ramp,
                                          int &err) {
    err = BASS_ERROR_FORMAT;
    if (src->size() > kMaxModuleBytes)
        return nullptr;
    std::vector<uint8_t> data;
    try {
        data.resize(size_t(src->size()));
    } catch (const std::bad_alloc &) {
        err = BASS_ERROR_MEM;
        return nullptr;
    }
    if (src->peek(0, data.data(), data.size()) != data.size()) {
        err = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    int error = 0;
    openmpt_module *mod = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, &error, nullptr, nullptr);
    if (!mod)
        return nullptr;
    const char *type = openmpt_module_get_metadata(mod, "type");
    const bool supported = type && isSupportedType(type);
    const std::string title = supported ? storedTitle(type, data) : std::string();
    openmpt_free_string(type);
    if (!supported) {
        openmpt_module_destroy(mod);
        return nullptr;
    }
    openmpt_module_set_repeat_count(mod, 0);
    // Strength -1 is libopenmpt's default ramping; 0 switches ramping off.
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                    ramp ? -1 : 0);
    err = BASS_OK;
    return std::make_unique<OpenmptDecoder>(mod, rate, title);
}

} // namespace mirvane::audio
