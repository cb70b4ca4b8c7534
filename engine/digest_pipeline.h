#pragma once
// SHA-256 digests of the files a run writes, taken on a worker thread so that
// the run goes on to the next record while the bytes of the last ones are
// hashed. The bytes are copied into a few chunk buffers of the pipeline's own,
// so its memory stays bounded whatever the size of the files. The digests are
// handed to the manifest in the order the files were ended, exactly as if
// they had been computed in line.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace corvid {

class RunManifest;

class DigestPipeline {
public:
    // The digests go to `manifest`'s rows.
    explicit DigestPipeline(RunManifest& manifest);
    // Waits for the files already ended and hands their digests over; the
    // bytes of a file not ended are dropped. Never throws.
    ~DigestPipeline();
    DigestPipeline(const DigestPipeline&) = delete;
    DigestPipeline& operator=(const DigestPipeline&) = delete;

    // Appends bytes to the file under way.
    void Add(std::span<const std::byte> bytes);
    // Ends the file under way; its digest becomes the sha256 of manifest row `row`.
    void EndFile(std::size_t row);
    // Forgets the bytes of the file under way (a file left unfinished).
    void DropFile() noexcept;
    // Waits for every file ended so far and hands the digests over. Throws
    // when hashing failed.
    void Finish();

private:
    struct Mark {
        std::size_t at;  // the file ends before this byte of the chunk
        bool keep;       // false: the bytes since the last mark are dropped
        std::size_t row;
    };
    struct Chunk {
        std::unique_ptr<std::byte[]> bytes;
        std::size_t size = 0;
        std::vector<Mark> marks;
    };

    void Work();
    Chunk& Current();
    void Submit();
    void AddMark(bool keep, std::size_t row);
    void Drain();
    void HandOver();

    RunManifest& manifest_;
    std::unique_ptr<Chunk> current_;

    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable chunkFree_;
    std::deque<std::unique_ptr<Chunk>> queue_;  // filled, waiting for the worker
    std::vector<std::unique_ptr<Chunk>> free_;  // hashed, ready to be filled again
    std::size_t chunksMade_ = 0;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::vector<std::pair<std::size_t, std::string>> digests_;  // row, hex digest

    std::thread worker_;
};

}  // namespace corvid
