// In-memory inputs and outputs for tests.
#include "string_io.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vostrel {

StringInput::StringInput(std::string bytes, size_t block_size)
    : Input(block_size), bytes_(std::move(bytes)) {}

size_t StringInput::ReadRaw(char* buf, size_t n, bool& failed) {
  size_t take = std::min(n, bytes_.size() - offset_);
  if (offset_ + take > limit_) {
    failed = true;
    take = limit_ > offset_ ? limit_ - offset_ : 0;
  }
  std::memcpy(buf, bytes_.data() + offset_, take);
  offset_ += take;
  return take;
}

bool StringInput::RewindRaw() {
  offset_ = 0;
  return true;
}

bool StringOutput::Put(std::string_view bytes) {
  if (bytes_.size() + bytes.size() > limit_) return false;
  bytes_.append(bytes);
  return true;
}

}  // namespace vostrel
