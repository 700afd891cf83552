// The session's reading thread and the hand-over of one read at a time.
#include "digest/ReadAhead.h"

#include <chrono>
#include <system_error>

namespace korvane {

namespace {

// Long enough to cover the digest of one chunk, so that in a steady run neither side sleeps.
constexpr auto kSpinFor = std::chrono::microseconds(200);

}  // namespace

ReadAhead::~ReadAhead() {
    if (!worker_.joinable()) return;
    Settle();
    state_.store(kQuit, std::memory_order_release);
    state_.notify_one();
    worker_.join();
}

bool ReadAhead::Begin(File& file, void* buffer, std::size_t n) {
    Settle();
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    file_ = &file;
    buffer_ = buffer;
    want_ = n;
    out_ = true;
    state_.store(kAsked, std::memory_order_release);
    state_.notify_one();
    return true;
}

std::size_t ReadAhead::Finish() {
    if (!out_) return 0;
    while (state_.load(std::memory_order_acquire) == kAsked) AwaitChange(kAsked);
    out_ = false;
    file_ = nullptr;
    buffer_ = nullptr;
    return got_;
}

void ReadAhead::Settle() {
    if (out_) Finish();
}

std::uint32_t ReadAhead::AwaitChange(std::uint32_t from) {
    const auto until = std::chrono::steady_clock::now() + kSpinFor;
    std::uint32_t now = state_.load(std::memory_order_acquire);
    while (now == from && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
        now = state_.load(std::memory_order_acquire);
    }
    while (now == from) {
        state_.wait(from, std::memory_order_acquire);
        now = state_.load(std::memory_order_acquire);
    }
    return now;
}

void ReadAhead::Run() {
    std::uint32_t state = state_.load(std::memory_order_acquire);
    for (;;) {
        if (state == kQuit) return;
        if (state == kAsked) {
            got_ = file_->Read(buffer_, want_);
            state_.store(kDone, std::memory_order_release);
            state_.notify_one();
            state = kDone;
        }
        state = AwaitChange(state);
    }
}

}  // namespace korvane
