// WAV through libsndfile.
#include "decoder.h"
#include "errors.h"

#include "bass.h"

#include <sndfile.h>

namespace mirvane::audio {
namespace {

sf_count_t vioLength(void *user) {
    return static_cast<Source *>(user)->size();
}
sf_count_t vioSeek(sf_count_t offset, int whence, void *user) {
    return static_cast<Source *>(user)->seek(offset, whence);
}
sf_count_t vioRead(void *ptr, sf_count_t count, void *user) {
    return sf_count_t(static_cast<Source *>(user)->read(ptr, size_t(count)));
}
sf_count_t vioWrite(const void *, sf_count_t, void *) {
    return 0;
} // never written
sf_count_t vioTell(void *user) {
    return static_cast<Source *>(user)->tell();
}

class WavDecoder final : public Decoder {
  public:
    WavDecoder(std::unique_ptr<Source> src, SNDFILE *sf, const SF_INFO &info)
        : src_(std::move(src)), sf_(sf), info_(info) {}
    ~WavDecoder() override { sf_close(sf_); }
    int rate() const override { return info_.samplerate; }
    int channels() const override { return info_.channels; }
    uint64_t frames() const override { return uint64_t(info_.frames); }
    size_t read(float *out, size_t frames) override {
        sf_count_t n = sf_readf_float(sf_, out, sf_count_t(frames));
        return n > 0 ? size_t(n) : 0;
    }
    bool seek(uint64_t frame) override { return sf_seek(sf_, sf_count_t(frame), SEEK_SET) >= 0; }
    bool hasExactS16() const override {
        const int sub = info_.format & SF_FORMAT_SUBMASK;
        return sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_U8;
    }
    size_t readS16(int16_t *out, size_t frames) override {
        sf_count_t n = sf_readf_short(sf_, out, sf_count_t(frames));
        return n > 0 ? size_t(n) : 0;
    }

  private:
    std::unique_ptr<Source> src_; // must outlive sf_
    SNDFILE *sf_;
    SF_INFO info_;
};

} // namespace

std::unique_ptr<Decoder> openWav(std::unique_ptr<Source> src, int &err) {
    static SF_VIRTUAL_IO vio = {vioLength, vioSeek, vioRead, vioWrite, vioTell};
    SF_INFO info{};
    SNDFILE *sf = sf_open_virtual(&vio, SFM_READ, &info, src.get());
    if (!sf) {
        setErrorText(sf_strerror(nullptr));
        err = BASS_ERROR_FORMAT;
        return nullptr;
    }
    const int type = info.format & SF_FORMAT_TYPEMASK;
    if ((type != SF_FORMAT_WAV && type != SF_FORMAT_WAVEX && type != SF_FORMAT_RF64) ||
        info.channels < 1 || info.channels > 8 || info.samplerate < 1000 ||
        info.samplerate > 384000 || info.frames <= 0) {
        sf_close(sf);
        err = BASS_ERROR_FORMAT;
        return nullptr;
    }
    return std::make_unique<WavDecoder>(std::move(src), sf, info);
}

} // namespace mirvane::audio
