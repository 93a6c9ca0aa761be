// vostrel's text I/O: the results file as the scans see it (CR LF folded,
// 0x1A ending the input) and output that writes every LF as CR LF.
#include "text_io.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

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
    n = CheckLineLengths(b, n);
    if (line_too_long_) {
      held_cr_ = false;
      source_end_ = true;
      ended_ = true;
    }
    if (n > kept) {
      lim_ = b + n;
      return true;
    }
    if (source_end_ && !held_cr_) ended_ = true;
  }
  return false;
}

size_t Input::CheckLineLengths(const char* b, size_t n) {
  const char* p = b;
  const char* const e = b + n;
  const uint64_t end_offset = block_offset_ + n;
  for (;;) {
    // The line from line_start_ runs without LF up to `p` and is not yet too
    // long there. The character at `stop` would make it so.
    const uint64_t stop = line_start_ + max_line_length_;
    if (stop >= end_offset) {
      // No line reaches the limit in this block (a later line starts later),
      // so only the start of the last one matters.
      for (const char* q = e; q > p; --q) {
        if (q[-1] == '\n') {
          line_start_ = block_offset_ + static_cast<uint64_t>(q - b);
          break;
        }
      }
      return n;
    }
    const size_t at = static_cast<size_t>(stop - block_offset_);
    const void* lf = std::memchr(p, '\n', at + 1 - static_cast<size_t>(p - b));
    if (lf == nullptr) {
      line_too_long_ = true;
      return at;
    }
    p = static_cast<const char*>(lf) + 1;
    line_start_ = block_offset_ + static_cast<uint64_t>(p - b);
  }
}

bool Input::Rewind() {
  cur_ = lim_ = block_.data();
  block_offset_ = 0;
  line_start_ = 0;
  line_too_long_ = false;
  held_cr_ = false;
  source_end_ = false;
  ended_ = false;
  error_ = false;
  return RewindRaw();
}

namespace {
// Large enough that reading costs a few system calls per megabyte, small
// enough to stay in cache while the scans walk it. (64 KiB measured no
// faster on the benchmark files.)
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

namespace {

// An unnamed temporary file where the system has one; else a named one in
// the temporary directory, removed at once where an open file can be
// removed, and by the caller after closing elsewhere.
std::FILE* MakeSpool(std::string& path_to_remove) {
  if (std::FILE* file = std::tmpfile()) return file;
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) return nullptr;
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path path =
        dir / ("vostrel-" + std::to_string(random()) + ".tmp");
    if (std::filesystem::exists(path, ec)) continue;
    std::FILE* file = std::fopen(path.string().c_str(), "w+b");
    if (file == nullptr) continue;
    std::filesystem::remove(path, ec);
    if (ec) path_to_remove = path.string();
    return file;
  }
  return nullptr;
}

}  // namespace

SpooledInput::SpooledInput(std::FILE* source, std::FILE* spool,
                           std::string spool_path)
    : Input(kFileBlockSize),
      source_(source),
      spool_(spool),
      spool_path_(std::move(spool_path)) {}

std::unique_ptr<SpooledInput> SpooledInput::Open(std::FILE* source) {
  std::string path;
  std::FILE* spool = MakeSpool(path);
  if (spool == nullptr) return nullptr;
  return std::unique_ptr<SpooledInput>(
      new SpooledInput(source, spool, std::move(path)));
}

SpooledInput::~SpooledInput() { Close(); }

bool SpooledInput::Close() {
  if (spool_ == nullptr) return true;
  const bool ok = std::fclose(spool_) == 0;
  spool_ = nullptr;
  if (!spool_path_.empty()) {
    std::error_code ec;
    std::filesystem::remove(spool_path_, ec);
  }
  return ok;
}

size_t SpooledInput::ReadRaw(char* buf, size_t n, bool& failed) {
  if (spool_ == nullptr) return 0;
  if (next_ < kept_) {
    // Again what was read before a rewind, in order from the spool's start.
    const auto want = static_cast<size_t>(std::min<uint64_t>(n, kept_ - next_));
    const size_t got = std::fread(buf, 1, want, spool_);
    if (got == 0) failed = true;
    next_ += got;
    return got;
  }
  const size_t got = std::fread(buf, 1, n, source_);
  if (got < n && std::ferror(source_) != 0) failed = true;
  if (got == 0) return 0;
  // Reading the spool gave way to writing it: C asks for a positioning call
  // in between, and the spool is at its end.
  if (!appending_) appending_ = std::fseek(spool_, 0, SEEK_CUR) == 0;
  if (!appending_ || std::fwrite(buf, 1, got, spool_) != got) failed = true;
  kept_ += got;
  next_ = kept_;
  return got;
}

bool SpooledInput::RewindRaw() {
  if (spool_ == nullptr) return false;
  std::rewind(spool_);
  appending_ = false;
  next_ = 0;
  return true;
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
    if (buffer_size_ > 0 && piece.size() > buffer_size_) {
      // A long line goes to the sink as it is, so the buffer keeps its size.
      if (!Flush()) return;
      ok_ = Put(piece);
      if (!ok_) return;
    } else {
      buffer_.append(piece);
    }
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
