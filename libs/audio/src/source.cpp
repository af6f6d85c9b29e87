#include "source.h"

#include "bass.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirvane::audio {

std::unique_ptr<Source> Source::openFile(const char *path, uint64_t offset, uint64_t length,
                                         int &err) {
    if (!path) {
        err = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for ever.
    // Reads of a regular file never block on it, so it may stay set.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        err = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        err = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    // A directory opens fine with O_RDONLY on Linux; only regular files are sources. FIFOs,
    // sockets and devices have no length and cannot seek: not a format we decode.
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        err = S_ISDIR(st.st_mode) ? BASS_ERROR_FILEOPEN : BASS_ERROR_FORMAT;
        return nullptr;
    }
    const uint64_t fileSize = uint64_t(st.st_size);
    if (offset > fileSize) {
        ::close(fd);
        err = BASS_ERROR_POSITION;
        return nullptr;
    }
    uint64_t size = fileSize - offset;
    if (length != 0 && length < size)
        size = length;
    if (size == 0) {
        ::close(fd);
        err = BASS_ERROR_EMPTY;
        return nullptr;
    }
    std::unique_ptr<Source> s(new Source);
    s->fd_ = fd;
    s->base_ = int64_t(offset);
    s->size_ = int64_t(size);
    return s;
}

std::unique_ptr<Source> Source::fromMemory(const void *data, size_t size, int &err) {
    if (!data) {
        err = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    if (size == 0) {
        err = BASS_ERROR_EMPTY;
        return nullptr;
    }
    std::unique_ptr<Source> s(new Source);
    try {
        s->memory_ = std::make_shared<const std::vector<uint8_t>>(
            static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + size);
    } catch (const std::bad_alloc &) {
        err = BASS_ERROR_MEM;
        return nullptr;
    }
    s->size_ = int64_t(size);
    return s;
}

std::unique_ptr<Source> Source::clone() const {
    // A network stream has one reader: a second would take the first one's bytes.
    if (stream_)
        return nullptr;
    std::unique_ptr<Source> s(new Source);
    if (fd_ >= 0) {
        s->fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0); // pread never moves the shared offset
        if (s->fd_ < 0)
            return nullptr;
    }
    s->base_ = base_;
    s->memory_ = memory_;
    s->size_ = size_;
    return s;
}

std::unique_ptr<Source> Source::fromStream(std::shared_ptr<ByteStream> stream) {
    std::unique_ptr<Source> s(new Source);
    s->stream_ = std::move(stream);
    s->size_ = -1;
    return s;
}

Source::~Source() {
    if (fd_ >= 0)
        ::close(fd_);
}

size_t Source::peek(int64_t at, void *buffer, size_t bytes) {
    if (stream_)
        return at < pos_ ? 0 : stream_->peek(size_t(at - pos_), buffer, bytes);
    if (at < 0 || at >= size_)
        return 0;
    if (int64_t(bytes) > size_ - at)
        bytes = size_t(size_ - at);
    if (fd_ < 0) {
        std::memcpy(buffer, memory_->data() + at, bytes);
        return bytes;
    }
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = ::pread(fd_, static_cast<char *>(buffer) + done, bytes - done,
                            base_ + at + int64_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

size_t Source::read(void *buffer, size_t bytes) {
    if (stream_) {
        const size_t n = stream_->read(buffer, bytes);
        pos_ += int64_t(n);
        return n;
    }
    size_t n = peek(pos_, buffer, bytes);
    pos_ += int64_t(n);
    return n;
}

int64_t Source::seek(int64_t offset, int whence) {
    int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = pos_ + offset;
        break;
    case SEEK_END:
        if (stream_)
            return -1;
        target = size_ + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || (stream_ && target != pos_))
        return -1;
    pos_ = target;
    return pos_;
}

} // namespace mirvane::audio
