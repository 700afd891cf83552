// A read buffer kept for a session's whole life and reused for every file.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace korvane {

// Never zero-filled: first touch of fresh memory is what costs, so it is paid once.
class ReusableBuffer {
  public:
    unsigned char* Get(std::size_t n) {
        if (n > size_) {
            data_.reset(new unsigned char[n]);  // default-initialised: no zero fill
            size_ = n;
        }
        return data_.get();
    }
    // Hands the memory over, to a read that is left to finish on its own; the next Get
    // allocates afresh.
    std::unique_ptr<unsigned char[]> Release() {
        size_ = 0;
        return std::move(data_);
    }

  private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_ = 0;
};

}  // namespace korvane
