#include "engine/digest_pipeline.h"

#include <algorithm>
#include <cstring>

#include "engine/run_manifest.h"
#include "engine/sha256.h"

namespace corvid {
namespace {

// Many small files share a chunk; a large one takes several in turn. At most
// kChunks * kChunkSize bytes wait for the worker.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr std::size_t kChunks = 3;

}  // namespace

DigestPipeline::DigestPipeline(RunManifest& manifest)
    : manifest_(manifest), worker_([this] { Work(); }) {}

DigestPipeline::~DigestPipeline() {
    if (!worker_.joinable()) return;  // finished
    DropFile();
    Drain();
    HandOver();
}

DigestPipeline::Chunk& DigestPipeline::Current() {
    if (current_) return *current_;
    std::unique_lock lock(mutex_);
    if (failure_) std::rethrow_exception(failure_);
    if (free_.empty() && chunksMade_ < kChunks) {
        ++chunksMade_;
        lock.unlock();
        current_ = std::make_unique<Chunk>();
        current_->bytes = std::make_unique_for_overwrite<std::byte[]>(kChunkSize);
        return *current_;
    }
    chunkFree_.wait(lock, [this] { return !free_.empty() || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    current_ = std::move(free_.back());
    free_.pop_back();
    return *current_;
}

void DigestPipeline::Submit() {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(current_));
    }
    workReady_.notify_one();
}

void DigestPipeline::Add(std::span<const std::byte> bytes) {
    while (!bytes.empty()) {
        Chunk& chunk = Current();
        const std::size_t n = std::min(bytes.size(), kChunkSize - chunk.size);
        std::memcpy(chunk.bytes.get() + chunk.size, bytes.data(), n);
        chunk.size += n;
        bytes = bytes.subspan(n);
        if (chunk.size == kChunkSize) Submit();
    }
}

void DigestPipeline::AddMark(bool keep, std::size_t row) {
    Chunk& chunk = Current();
    chunk.marks.push_back({chunk.size, keep, row});
}

void DigestPipeline::EndFile(std::size_t row) { AddMark(true, row); }

void DigestPipeline::DropFile() noexcept {
    try {
        AddMark(false, 0);
    } catch (...) {
        // the worker failed: there is nothing left to drop, and Finish reports it
    }
}

void DigestPipeline::Finish() {
    Drain();
    HandOver();
    std::lock_guard lock(mutex_);
    if (failure_) std::rethrow_exception(failure_);
}

// Hands the last chunk to the worker and waits until it has hashed everything.
void DigestPipeline::Drain() {
    {
        std::lock_guard lock(mutex_);
        if (!worker_.joinable()) return;
        if (current_) queue_.push_back(std::move(current_));
        stopping_ = true;
    }
    workReady_.notify_one();
    worker_.join();
}

void DigestPipeline::HandOver() {
    for (auto& [row, digest] : digests_) manifest_.SetDigest(row, std::move(digest));
    digests_.clear();
}

void DigestPipeline::Work() {
    Sha256 hash;
    std::vector<std::pair<std::size_t, std::string>> done;
    for (;;) {
        std::unique_ptr<Chunk> chunk;
        {
            std::unique_lock lock(mutex_);
            for (auto& digest : done) digests_.push_back(std::move(digest));
            done.clear();
            workReady_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (queue_.empty()) return;
            chunk = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            if (!failure_) {
                const std::span<const std::byte> bytes(chunk->bytes.get(), chunk->size);
                std::size_t from = 0;
                for (const Mark& mark : chunk->marks) {
                    hash.Update(bytes.subspan(from, mark.at - from));
                    std::string digest = hash.HexDigest();
                    if (mark.keep) done.emplace_back(mark.row, std::move(digest));
                    from = mark.at;
                }
                hash.Update(bytes.subspan(from));
            }
        } catch (...) {
            std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
        }
        chunk->size = 0;
        chunk->marks.clear();
        {
            std::lock_guard lock(mutex_);
            free_.push_back(std::move(chunk));
        }
        chunkFree_.notify_one();
    }
}

}  // namespace corvid
