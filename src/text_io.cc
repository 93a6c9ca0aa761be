// vostrel's text I/O: the results file as the scans see it (CR LF folded,
// 0x1A ending the input) and output that writes every LF as CR LF.
#include "text_io.h"

#include <algorithm>
#include <cstring>

namespace vostrel {

namespace {

constexpr char kEndOfFileByte = 0x1A;

// Removes the CR of every CR LF pair in [b, b + n) and returns the new length.
// A CR at the very end stays; the caller decides whether an LF may follow.
size_t FoldCrLf(char* b, size_t n) {
  char* end = b + n;
  char* cr = static_cast<char*>(std::memchr(b, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  char* in = cr;
  while (in < end) {
    // `in` is at a CR here.
    if (in + 1 < end && in[1] == '\n') {
      ++in;  // drop the CR; the LF is copied below
    }
    char* next = static_cast<char*>(
        std::memchr(in + 1, '\r', static_cast<size_t>(end - in - 1)));
    char* stop = next != nullptr ? next : end;
    size_t len = static_cast<size_t>(stop - in);
    std::memmove(out, in, len);
    out += len;
    in = stop;
  }
  return static_cast<size_t>(out - b);
}

}  // namespace

Input::Input(size_t block_size) : block_(std::max<size_t>(block_size, 2)) {
  cur_ = lim_ = block_.data();
}

bool Input::Refill() {
  char* b = block_.data();
  block_offset_ += static_cast<uint64_t>(lim_ - b);
  cur_ = lim_ = b;
  return Fill(0);
}

bool Input::Extend(size_t n) {
  while (static_cast<size_t>(lim_ - cur_) < n) {
    char* b = block_.data();
    const size_t kept = static_cast<size_t>(lim_ - cur_);
    // A held CR and at least one byte of the source must fit after the
    // kept bytes.
    if (kept + 2 > block_.size()) return false;
    block_offset_ += static_cast<uint64_t>(cur_ - b);
    std::memmove(b, cur_, kept);
    cur_ = b;
    lim_ = b + kept;
    if (!Fill(kept)) return false;
  }
  return true;
}

bool Input::Fill(size_t kept) {
  char* b = block_.data();
  while (!ended_) {
    size_t n = kept;
    if (held_cr_) {
      b[n++] = '\r';
      held_cr_ = false;
    }
    if (!source_end_) {
      bool failed = false;
      size_t got = ReadRaw(b + n, block_.size() - n, failed);
      if (failed) error_ = true;
      if (failed || got == 0) source_end_ = true;
      if (const void* sub = std::memchr(b + n, kEndOfFileByte, got)) {
        got = static_cast<size_t>(static_cast<const char*>(sub) - (b + n));
        source_end_ = true;
      }
      n += got;
    }
    n = kept + FoldCrLf(b + kept, n - kept);
    if (n > kept && b[n - 1] == '\r' && !source_end_) {
      held_cr_ = true;
      --n;
    }
    if (n > kept) {
      lim_ = b + n;
      return true;
    }
    if (source_end_ && !held_cr_) ended_ = true;
  }
  return false;
}

bool Input::Rewind() {
  cur_ = lim_ = block_.data();
  block_offset_ = 0;
  held_cr_ = false;
  source_end_ = false;
  ended_ = false;
  error_ = false;
  return RewindRaw();
}

namespace {
// Large enough that reading costs a few system calls per megabyte, small
// enough to stay in cache while the scans walk it.
constexpr size_t kFileBlockSize = size_t{256} * 1024;
}  // namespace

FileInput::FileInput(std::FILE* file) : Input(kFileBlockSize), file_(file) {
  // The block is our buffer; a second one in stdio would only copy.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

std::unique_ptr<FileInput> FileInput::Open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  return std::unique_ptr<FileInput>(new FileInput(file));
}

FileInput::~FileInput() { Close(); }

bool FileInput::Close() {
  if (file_ == nullptr) return true;
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

size_t FileInput::ReadRaw(char* buf, size_t n, bool& failed) {
  if (file_ == nullptr) return 0;
  size_t got = std::fread(buf, 1, n, file_);
  if (got < n && std::ferror(file_) != 0) failed = true;
  return got;
}

bool FileInput::RewindRaw() {
  if (file_ == nullptr) return false;
  std::clearerr(file_);
  return std::fseek(file_, 0, SEEK_SET) == 0;
}

Output::Output(size_t buffer_size) : buffer_size_(buffer_size) {
  buffer_.reserve(buffer_size + 2);
}

void Output::FlushLinesAndEvery(std::chrono::steady_clock::duration max_delay) {
  flush_lines_ = true;
  max_delay_ = max_delay;
  last_flush_ = Now();
}

void Output::Write(std::string_view text) {
  if (!ok_) return;
  const std::string_view written = text;
  while (!text.empty()) {
    size_t lf = text.find('\n');
    std::string_view piece = text.substr(0, lf);
    buffer_.append(piece);
    if (lf == std::string_view::npos) {
      text = {};
    } else {
      buffer_.append("\r\n");
      text.remove_prefix(lf + 1);
    }
    if (buffer_.size() >= buffer_size_ && !Flush()) return;
  }
  if (flush_lines_ && (written.find('\n') != std::string_view::npos ||
                       Now() - last_flush_ >= max_delay_)) {
    Flush();
  }
}

bool Output::Flush() {
  if (ok_ && !buffer_.empty()) ok_ = Put(buffer_);
  buffer_.clear();
  if (flush_lines_) last_flush_ = Now();
  return ok_;
}

namespace {
constexpr size_t kFileOutputBuffer = size_t{64} * 1024;
}  // namespace

FileOutput::FileOutput(std::FILE* borrowed) : FileOutput(borrowed, false) {
  // This class buffers; a second buffer in stdio would hold back what a
  // flush hands on.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

FileOutput::FileOutput(std::FILE* file, bool owned)
    : Output(kFileOutputBuffer), file_(file), owned_(owned) {}

std::unique_ptr<FileOutput> FileOutput::Create(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return nullptr;
  return std::unique_ptr<FileOutput>(new FileOutput(file, true));
}

FileOutput::~FileOutput() { Close(); }

bool FileOutput::Close() {
  if (file_ == nullptr) return ok();
  bool ok = Flush();
  if (owned_) {
    ok = (std::fclose(file_) == 0) && ok;
  } else {
    ok = (std::fflush(file_) == 0) && ok;
  }
  file_ = nullptr;
  return ok;
}

bool FileOutput::Put(std::string_view bytes) {
  if (file_ == nullptr) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

}  // namespace vostrel
