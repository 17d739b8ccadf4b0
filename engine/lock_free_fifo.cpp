#include "engine/lock_free_fifo.h"

#include "platform/platform.h"

namespace {
constexpr int kWriterWaits = 50;
constexpr unsigned kWriterWaitMs = 10;
constexpr int kReaderWaits = 500;
constexpr unsigned kReaderWaitMs = 1;
}  // namespace

// Indices run 1 ... size: a byte goes to index mod size, and the index moves to
// (index mod size) + 1. The ring holds at most size - 1 bytes.
lock_free_fifo::lock_free_fifo(std::size_t size, when_full policy)
    : buffer_(size), policy_(policy), read_index_(static_cast<uint32_t>(size)),
      write_index_(static_cast<uint32_t>(size)), published_(static_cast<uint32_t>(size)) {}

std::size_t lock_free_fifo::Room() const {
    const std::size_t size = buffer_.size();
    const std::size_t used = (write_index_ + size - read_index_.load(std::memory_order_acquire)) % size;
    return size - 1 - used;
}

bool lock_free_fifo::TryWrite(std::span<const uint8_t> message) {
    if (message.size() > Room()) return false;
    const uint32_t size = static_cast<uint32_t>(buffer_.size());
    for (uint8_t byte : message) {
        buffer_[write_index_ % size] = byte;
        write_index_ = write_index_ % size + 1;
    }
    published_.store(write_index_, std::memory_order_release);
    return true;
}

bool lock_free_fifo::WriteMessage(std::span<const uint8_t> message) {
    if (Refuses()) return false;
    bool written = TryWrite(message);
    for (int wait = 0; !written && policy_ == when_full::wait && wait < kWriterWaits; ++wait) {
        platform::SleepMilliSeconds(kWriterWaitMs);
        written = TryWrite(message);
    }
    if (!written) {
        Full();
        written = TryWrite(message);
    }
    if (written) OnCommit();
    return written;
}

uint8_t lock_free_fifo::ReadByte() {
    for (int wait = 0; Empty(); ++wait) {
        if (wait == kReaderWaits) return 0;
        platform::SleepMilliSeconds(kReaderWaitMs);
    }
    const uint32_t size = static_cast<uint32_t>(buffer_.size());
    const uint32_t index = read_index_.load(std::memory_order_relaxed);
    const uint8_t byte = buffer_[index % size];
    read_index_.store(index % size + 1, std::memory_order_release);
    return byte;
}

void lock_free_fifo::Read(uint8_t* destination, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) destination[i] = ReadByte();
}

void lock_free_fifo::Reset() { read_index_.store(published_.load(std::memory_order_acquire), std::memory_order_release); }
