// Ogg Vorbis through libvorbisfile.
#include "decoder.h"
#include "errors.h"

#include "bass.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <string>

namespace mirvane::audio {
namespace {

size_t cbRead(void *ptr, size_t size, size_t n, void *user) {
    if (size == 0)
        return 0;
    return static_cast<Source *>(user)->read(ptr, size * n) / size;
}
int cbSeek(void *user, ogg_int64_t offset, int whence) {
    return static_cast<Source *>(user)->seek(offset, whence) < 0 ? -1 : 0;
}
long cbTell(void *user) {
    return long(static_cast<Source *>(user)->tell());
}

class VorbisDecoder final : public Decoder {
  public:
    explicit VorbisDecoder(std::unique_ptr<Source> src) : src_(std::move(src)) {}
    ~VorbisDecoder() override {
        if (open_)
            ov_clear(&vf_);
    }
    bool open(int &err) {
        // A network stream cannot seek: without a seek callback libvorbisfile reads it as it
        // comes, and its length stays unknown (frames() 0) until it ends.
        unknownSize_ = src_->size() < 0;
        const ov_callbacks cb = {cbRead, unknownSize_ ? nullptr : cbSeek, nullptr, cbTell};
        if (const int e = ov_open_callbacks(src_.get(), &vf_, nullptr, 0, cb); e != 0) {
            // libvorbisfile has codes only; these are the words of its documentation.
            setErrorText(e == OV_ENOTVORBIS   ? "not Vorbis data"
                         : e == OV_EVERSION   ? "Vorbis version mismatch"
                         : e == OV_EBADHEADER ? "invalid Vorbis bitstream header"
                         : e == OV_EREAD      ? "read from media returned an error"
                                              : "libvorbisfile error " + std::to_string(e));
            err = BASS_ERROR_FORMAT;
            return false;
        }
        open_ = true;
        const vorbis_info *vi = ov_info(&vf_, -1);
        const ogg_int64_t total = ov_pcm_total(&vf_, -1);
        if (!vi || vi->channels < 1 || vi->channels > 8 || (total <= 0 && !unknownSize_)) {
            err = BASS_ERROR_FORMAT;
            return false;
        }
        rate_ = int(vi->rate);
        channels_ = vi->channels;
        frames_ = unknownSize_ ? 0 : uint64_t(total);
        return true;
    }
    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    uint64_t frames() const override { return frames_; }
    size_t read(float *out, size_t frames) override {
        size_t done = 0;
        int holes = 0;
        while (done < frames) {
            float **pcm = nullptr;
            int section = 0;
            long n =
                ov_read_float(&vf_, &pcm, int(std::min<size_t>(frames - done, 4096)), &section);
            if (n == OV_HOLE && ++holes < 16)
                continue; // a gap in the data: skip it rather than end the stream
            if (n <= 0)
                break;
            // A chained stream may change its channel count; keep the first layout.
            const int have = ov_info(&vf_, section) ? ov_info(&vf_, section)->channels : channels_;
            for (long i = 0; i < n; ++i)
                for (int c = 0; c < channels_; ++c)
                    out[(done + size_t(i)) * size_t(channels_) + size_t(c)] =
                        pcm[c < have ? c : have - 1][i];
            done += size_t(n);
        }
        return done;
    }
    bool seek(uint64_t frame) override {
        return !unknownSize_ && ov_pcm_seek(&vf_, ogg_int64_t(frame)) == 0;
    }

  private:
    std::unique_ptr<Source> src_;
    OggVorbis_File vf_{};
    bool open_ = false;
    bool unknownSize_ = false;
    int rate_ = 0, channels_ = 0;
    uint64_t frames_ = 0;
};

} // namespace

std::unique_ptr<Decoder> openVorbis(std::unique_ptr<Source> src, int &err) {
    auto d = std::make_unique<VorbisDecoder>(std::move(src));
    if (!d->open(err))
        return nullptr;
    return d;
}

} // namespace mirvane::audio
