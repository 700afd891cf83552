// The session's reading thread: one read at a time, and the giving up of a read that stalls.
#include "reading/ReadAhead.h"

#include <utility>

namespace korvane {

// Long enough to cover the digest of one chunk, so that in a steady run neither side sleeps.
ReadAhead::ReadAhead() : worker_(std::chrono::microseconds(200)) {}

ReadAhead::~ReadAhead() {
    Settle();
}

bool ReadAhead::Begin(File& file, void* buffer, std::size_t n) {
    Settle();
    return worker_.Begin([&](Read& read) {
        read.file = &file;
        read.buffer = buffer;
        read.want = n;
    });
}

bool ReadAhead::FinishWithin(std::chrono::nanoseconds wait, std::size_t& got) {
    got = 0;
    if (!worker_.Out()) return true;
    Read* read = worker_.FinishWithin(wait);
    if (!read) return false;
    read->file = nullptr;
    read->buffer = nullptr;
    got = read->got;
    return true;
}

std::size_t ReadAhead::Finish() {
    std::size_t got = 0;
    while (!FinishWithin(std::chrono::hours(1), got)) {
    }
    return got;
}

void ReadAhead::Settle() {
    if (worker_.Out()) Finish();
}

void ReadAhead::Abandon(std::unique_ptr<File>& file, std::unique_ptr<unsigned char[]> buffer,
                        std::chrono::nanoseconds grace) {
    std::size_t got = 0;
    if (FinishWithin(grace, got)) return;
    worker_.GiveUp([&](Read& read) {
        read.keptFile = std::move(file);
        read.keptBuffer = std::move(buffer);
    });
}

}  // namespace korvane
