// Read-only byte sources for the decoders: a file (or a part of it) or a private copy of a
// memory block. Nothing here ever writes to the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace mirvane::audio {

// Bytes of unknown length that arrive over time (a network transfer, url_stream.h).
class ByteStream {
  public:
    virtual ~ByteStream() = default;
    // Waits until bytes are there, the stream has ended or it was closed; fewer than asked
    // only at the end (0: the end).
    virtual size_t read(void *buffer, size_t bytes) = 0;
    // Copies what is buffered now from at bytes past the read position; never waits.
    virtual size_t peek(size_t at, void *buffer, size_t bytes) = 0;
};

class Source {
  public:
    // Opens path read-only. On failure returns nullptr and sets err to a BASS_ERROR_* code.
    static std::unique_ptr<Source> openFile(const char *path, uint64_t offset, uint64_t length,
                                            int &err);
    // Copies size bytes from data.
    static std::unique_ptr<Source> fromMemory(const void *data, size_t size, int &err);
    // A second, independent reader of the same bytes (its own position), for work on another
    // thread; nullptr when the file cannot be opened again.
    std::unique_ptr<Source> clone() const;
    // Reads a stream of unknown length: size() is -1, peek() sees only what is buffered and
    // seeking works only to the current position.
    static std::unique_ptr<Source> fromStream(std::shared_ptr<ByteStream> stream);
    ~Source();
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    size_t read(void *buffer, size_t bytes);
    // whence as for lseek (SEEK_SET, SEEK_CUR, SEEK_END); returns the new offset or -1.
    int64_t seek(int64_t offset, int whence);
    int64_t tell() const { return pos_; }
    int64_t size() const { return size_; }
    // Reads up to bytes from absolute offset at without moving the read position.
    size_t peek(int64_t at, void *buffer, size_t bytes);

  private:
    Source() = default;
    int fd_ = -1;                                        // file sources
    int64_t base_ = 0;                                   // offset of the part within the file
    std::shared_ptr<const std::vector<uint8_t>> memory_; // memory sources, shared by clones
    std::shared_ptr<ByteStream> stream_;                 // stream sources
    int64_t size_ = 0;
    int64_t pos_ = 0;
};

} // namespace mirvane::audio
