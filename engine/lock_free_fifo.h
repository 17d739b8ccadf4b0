// A single-reader byte ring between threads. Messages are written whole or not
// at all, so the reader never sees half a message; the reader sees bytes only
// up to the writer's last commit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class lock_free_fifo {
public:
    // What a writer does when a message does not fit.
    enum class when_full {
        wait,  // wait up to 50 x 10 ms, then call Full() and try once more
        drop,  // call Full() and try once more at once: for the audio thread
    };

    lock_free_fifo(std::size_t size, when_full policy);
    virtual ~lock_free_fifo() = default;
    lock_free_fifo(const lock_free_fifo&) = delete;
    lock_free_fifo& operator=(const lock_free_fifo&) = delete;

    std::size_t Size() const { return buffer_.size(); }
    bool Empty() const { return read_index_.load(std::memory_order_acquire) == published_.load(std::memory_order_acquire); }
    // Bytes a writer may still add.
    std::size_t Room() const;

    // Writes a whole message and commits it; false when it was dropped.
    bool WriteMessage(std::span<const uint8_t> message);
    // Reads `count` bytes; a missing byte (the ring ran empty for 500 ms) reads as 0.
    void Read(uint8_t* destination, std::size_t count);
    // Forgets everything written (the reader's side).
    void Reset();

protected:
    // Told after each commit.
    virtual void OnCommit() {}
    // Told when a writer found no room.
    virtual void Full() {}
    // True while the ring takes no messages at all.
    virtual bool Refuses() const { return false; }

private:
    bool TryWrite(std::span<const uint8_t> message);
    uint8_t ReadByte();

    std::vector<uint8_t> buffer_;
    when_full policy_;
    std::atomic<uint32_t> read_index_;
    uint32_t write_index_;
    std::atomic<uint32_t> published_;
};
