// URL streams as channels: the transfer (source_url.cpp) behind a Source of unknown length,
// decoded like a file stream (MP3 and Ogg Vorbis stations).
#include "engine.h"

namespace mirvane::audio {

DWORD Engine::createUrlStream(const char *url, DWORD offset, DWORD flags, DOWNLOADPROC *proc,
                              void *user) {
    if (offset != 0) {
        setError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    if (!(flags & BASS_STREAM_DECODE)) {
        std::lock_guard<std::mutex> g(mutex_);
        if (!initialized_) {
            setError(BASS_ERROR_INIT);
            return 0;
        }
    }
    int err = BASS_ERROR_FORMAT;
    std::shared_ptr<UrlStream> net = UrlStream::open(url, flags, proc, user, err);
    if (!net) {
        setError(err);
        return 0;
    }
    auto src = Source::fromStream(net);
    std::unique_ptr<Decoder> dec;
    switch (detectStream(*src)) {
    case StreamKind::Mpeg:
        dec = openMpeg(std::move(src), false, err);
        break;
    case StreamKind::Ogg:
        dec = openVorbis(std::move(src), err);
        break;
    default:
        err = BASS_ERROR_FORMAT;
        break;
    }
    std::shared_ptr<Channel> ch;
    if (dec)
        ch = prepareChannel(std::move(dec), Kind::Stream, flags, err);
    if (!ch) {
        net->close();
        setError(err);
        return 0;
    }
    ch->net = net;
    net->setMetaListener([this] { wakeSyncs(); }); // the engine outlives every stream
    const DWORD handle = registerChannel(ch);
    if (!handle)
        net->close();
    return handle;
}

} // namespace mirvane::audio
