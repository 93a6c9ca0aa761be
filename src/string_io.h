// In-memory inputs and outputs for tests, fuzzing and benchmarks: they read
// bytes from a string and keep what is written, and fail on request.
#ifndef VOSTREL_STRING_IO_H_
#define VOSTREL_STRING_IO_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "text_io.h"

namespace vostrel {

// An input over bytes in memory, read `block_size` bytes at a time (small
// blocks let tests put CR LF pairs and tokens across block boundaries).
// FailAfter(n) makes the read that would go past the first `n` bytes fail.
class StringInput : public Input {
 public:
  explicit StringInput(std::string bytes, size_t block_size = 1 << 16);
  void FailAfter(size_t n) { limit_ = n; }

 private:
  size_t ReadRaw(char* buf, size_t n, bool& failed) override;
  bool RewindRaw() override;

  std::string bytes_;
  size_t offset_ = 0;
  size_t limit_ = static_cast<size_t>(-1);
};

// Keeps what is written, for tests. FailAfter(n) makes every write fail once
// it would take the total past `n` bytes.
class StringOutput : public Output {
 public:
  StringOutput() : Output(0) {}
  const std::string& bytes() const { return bytes_; }
  void FailAfter(size_t n) { limit_ = n; }

 private:
  bool Put(std::string_view bytes) override;

  std::string bytes_;
  size_t limit_ = static_cast<size_t>(-1);
};

}  // namespace vostrel

#endif  // VOSTREL_STRING_IO_H_
