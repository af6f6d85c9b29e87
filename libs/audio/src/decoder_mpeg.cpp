// MPEG audio layers 1, 2 and 3 through libmpg123.
#include "decoder.h"
#include "errors.h"

#include "bass.h"

#include <mpg123.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace mirvane::audio {
namespace {

// mpg123 reads through these so memory sources and file parts work like whole files.
ssize_t cbRead(void *user, void *buf, size_t bytes) {
    return ssize_t(static_cast<Source *>(user)->read(buf, bytes));
}
off_t cbSeek(void *user, off_t offset, int whence) {
    return off_t(static_cast<Source *>(user)->seek(offset, whence));
}

class MpegDecoder final : public Decoder {
  public:
    explicit MpegDecoder(std::unique_ptr<Source> src) : src_(std::move(src)) {}
    ~MpegDecoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }
    bool open(bool prescan, int &err) {
        static std::once_flag once;
        std::call_once(once, [] { mpg123_init(); });
        err = BASS_ERROR_FORMAT;
        int e = 0;
        mh_ = mpg123_new(nullptr, &e);
        if (!mh_) {
            err = BASS_ERROR_MEM;
            return false;
        }
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_FLOAT, 0);
        // Only float output, any rate, mono or stereo as the file has it.
        mpg123_format_none(mh_);
        const long *rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_replace_reader_handle(mh_, cbRead, cbSeek, nullptr) != MPG123_OK ||
            mpg123_open_handle(mh_, src_.get()) != MPG123_OK) {
            setErrorText(mpg123_strerror(mh_));
            return false;
        }
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK) {
            setErrorText(mpg123_strerror(mh_));
            return false;
        }
        if (rate <= 0 || channels < 1 || encoding != MPG123_ENC_FLOAT_32)
            return false;
        // A network stream has no length until it ends: frames() stays 0.
        const bool unknownSize = src_->size() < 0;
        // The scan a caller asks for (prescan) is not done here: it reads the whole file, which
        // the engine lets a library thread do through makeScan() while the stream plays.
        prescan_ = prescan && !unknownSize;
        off_t length = unknownSize ? 0 : mpg123_length(mh_);
        uint64_t estimate = 0;
        // Without a header libmpg123 guesses from the first frame alone, which is far off for
        // variable bit rates; an average over many frames is much closer.
        if (!unknownSize && estimateMpegLength(*src_, estimate)) {
            length = off_t(estimate);
            exact_ = false;
        }
        if (length <= 0 && !unknownSize)
            return false;
        rate_ = int(rate);
        channels_ = channels;
        frames_ = uint64_t(length);
        return true;
    }
    bool lengthExact() const override { return exact_; }
    std::unique_ptr<LengthScan> makeScan() override;
    void takeScan(LengthScan &scan) override;
    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    uint64_t frames() const override { return frames_; }
    size_t read(float *out, size_t frames) override {
        size_t done = 0;
        const size_t frameBytes = sizeof(float) * size_t(channels_);
        while (done < frames) {
            size_t got = 0;
            const int r =
                mpg123_read(mh_, reinterpret_cast<unsigned char *>(out + done * size_t(channels_)),
                            (frames - done) * frameBytes, &got);
            done += got / frameBytes;
            if (r == MPG123_NEW_FORMAT)
                continue; // same rate and layout asked for; go on
            if (r != MPG123_OK)
                break; // MPG123_DONE or a damaged stream: the end
            if (got == 0)
                break;
        }
        return done;
    }
    bool seek(uint64_t frame) override { return mpg123_seek(mh_, off_t(frame), SEEK_SET) >= 0; }

  private:
    std::unique_ptr<Source> src_;
    mpg123_handle *mh_ = nullptr;
    int rate_ = 0, channels_ = 0;
    uint64_t frames_ = 0;
    bool exact_ = true;
    bool prescan_ = false;
};

// Reads the whole stream through its own handle and source on the scanning thread: the exact
// length (gapless trimmed) and the frame index that makes far seeks quick.
class MpegScan final : public LengthScan {
  public:
    explicit MpegScan(std::unique_ptr<Source> src) : src_(std::move(src)) {}
    ~MpegScan() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
    }
    bool run(const std::atomic<bool> &cancel) override {
        cancel_ = &cancel;
        int e = 0;
        mh_ = mpg123_new(nullptr, &e);
        if (!mh_)
            return false;
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_FLOAT, 0);
        if (mpg123_replace_reader_handle(mh_, &MpegScan::read, &MpegScan::seek, nullptr) !=
                MPG123_OK ||
            mpg123_open_handle(mh_, this) != MPG123_OK)
            return false;
        if (mpg123_scan(mh_) != MPG123_OK || cancel.load())
            return false;
        const off_t length = mpg123_length(mh_);
        if (length <= 0)
            return false;
        frames_ = uint64_t(length);
        off_t *offsets = nullptr;
        off_t step = 0;
        size_t fill = 0;
        if (mpg123_index(mh_, &offsets, &step, &fill) == MPG123_OK && offsets && fill > 0) {
            index_.assign(offsets, offsets + fill);
            step_ = step;
        }
        return true;
    }
    uint64_t frames() const override { return frames_; }
    std::vector<off_t> index_;
    off_t step_ = 0;

  private:
    // A cancelled scan sees the end of the file at once.
    static ssize_t read(void *user, void *buf, size_t bytes) {
        auto *self = static_cast<MpegScan *>(user);
        if (self->cancel_->load())
            return 0;
        return ssize_t(self->src_->read(buf, bytes));
    }
    static off_t seek(void *user, off_t offset, int whence) {
        return off_t(static_cast<MpegScan *>(user)->src_->seek(offset, whence));
    }
    std::unique_ptr<Source> src_;
    mpg123_handle *mh_ = nullptr;
    const std::atomic<bool> *cancel_ = nullptr;
    uint64_t frames_ = 0;
};

std::unique_ptr<LengthScan> MpegDecoder::makeScan() {
    // Only when asked for: without it the length stays an estimate until the decoding ends.
    if (!prescan_)
        return nullptr;
    auto src = src_->clone();
    if (!src)
        return nullptr;
    return std::make_unique<MpegScan>(std::move(src));
}

void MpegDecoder::takeScan(LengthScan &scan) {
    auto &s = static_cast<MpegScan &>(scan);
    frames_ = s.frames();
    exact_ = true;
    // Both handles read the same bytes from the same start, so the offsets fit this one too.
    if (!s.index_.empty())
        mpg123_set_index(mh_, s.index_.data(), s.step_, s.index_.size());
}

} // namespace

std::unique_ptr<Decoder> openMpeg(std::unique_ptr<Source> src, bool prescan, int &err) {
    auto d = std::make_unique<MpegDecoder>(std::move(src));
    if (!d->open(prescan, err))
        return nullptr;
    return d;
}

} // namespace mirvane::audio
