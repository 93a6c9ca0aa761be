// vostrel's text I/O: Input reads the results file with CR LF folded to LF
// and 0x1A ending it, a block at a time; Output writes every LF as CR LF,
// buffered, and can hand the console on line by line. Their file forms are
// here; the in-memory forms for tests are in string_io.h.
#ifndef VOSTREL_TEXT_IO_H_
#define VOSTREL_TEXT_IO_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vostrel.h"

namespace vostrel {

// The results file as the tool sees it: a CR directly followed by LF reads as
// LF, any other CR is data, and a 0x1A byte ends the input (it and everything
// after it are never seen until Rewind()). Bytes are read a block at a time
// and folded in place, so the scans below work on plain memory.
//
// The scans use the window [begin(), end()) of folded bytes not yet consumed,
// and Refill() once it is used up.
//
// A line longer than max_line_length() folded characters, its LF not
// counted, ends the input: what lies before its first character past that
// length is handed out, then Refill() reports the end and line_too_long()
// tells why. One line therefore never takes more than that much memory.
class Input {
 public:
  virtual ~Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  const char* begin() const { return cur_; }
  const char* end() const { return lim_; }
  // Consumes the window up to `p`, which lies in [begin(), end()].
  void Advance(const char* p) { cur_ = p; }
  // How many folded bytes lie before begin() since the start of the input.
  uint64_t offset() const {
    return block_offset_ + static_cast<uint64_t>(cur_ - block_.data());
  }

  // Requires begin() == end(). Reads the next block; returns false at the end
  // of the input (0x1A, end of the source, a read error or a line that is too
  // long), with the window left empty.
  bool Refill();
  // Reads on until the window holds at least `n` bytes, keeping the bytes
  // not yet consumed (they move to the block's start; offset() stays).
  // Returns false when the input ends first or the block cannot hold `n`
  // bytes, with the window holding what it could.
  bool Extend(size_t n);

  // Starts the input again at its first byte, clearing the end and any error.
  // Returns false if the source cannot be repositioned.
  bool Rewind();

  // True once reading the source has failed; the input has then ended.
  bool error() const { return error_; }

  // True once the input has ended inside a line longer than
  // max_line_length(); long_line_offset() is where that line starts, in
  // folded bytes from the start of the input. Until Rewind().
  bool line_too_long() const { return line_too_long_; }
  uint64_t long_line_offset() const { return line_start_; }
  uint64_t max_line_length() const { return max_line_length_; }
  // For tests: a limit other than kMaxLineLength. Set before the first read.
  void set_max_line_length(uint64_t length) { max_line_length_ = length; }

  // Releases the source; false if that fails. Idempotent.
  virtual bool Close() { return true; }

 protected:
  explicit Input(size_t block_size);

  // Reads up to `n` raw bytes into `buf`. Returns the count, 0 at the end of
  // the source; sets `failed` on a read error.
  virtual size_t ReadRaw(char* buf, size_t n, bool& failed) = 0;
  // Positions the source at its first byte; false on failure.
  virtual bool RewindRaw() = 0;

 private:
  // Follows the lines through the new block of `n` folded bytes at `b` and
  // returns how many of them may be handed out: all, or those before the
  // first character past the line-length limit.
  size_t CheckLineLengths(const char* b, size_t n);
  // Reads the next bytes after the first `kept` bytes of the block and sets
  // the window's end after them; false, the window unchanged, at the end.
  bool Fill(size_t kept);

  std::vector<char> block_;
  const char* cur_ = nullptr;
  const char* lim_ = nullptr;
  uint64_t block_offset_ = 0;  // folded bytes before the current block
  bool held_cr_ = false;       // a CR ended the last block; its LF may follow
  bool source_end_ = false;    // the source or a 0x1A is used up
  bool ended_ = false;         // everything has been handed out
  bool error_ = false;
  uint64_t max_line_length_ = kMaxLineLength;
  uint64_t line_start_ = 0;  // folded offset of the line the block ends in
  bool line_too_long_ = false;
};

// An input over a file opened for reading in binary mode.
class FileInput : public Input {
 public:
  // Returns nullptr when `path` cannot be opened for reading.
  static std::unique_ptr<FileInput> Open(const std::string& path);
  ~FileInput() override;
  bool Close() override;

 private:
  explicit FileInput(std::FILE* file);
  size_t ReadRaw(char* buf, size_t n, bool& failed) override;
  bool RewindRaw() override;

  std::FILE* file_;
};

// Standard input, which cannot be repositioned: every byte read from it is
// also kept in an unnamed temporary file, so that Rewind() reads them again
// from there and then goes on with standard input. Memory stays flat however
// long the stream.
class SpooledInput : public Input {
 public:
  // Reads `source` (not owned). Returns nullptr when no temporary file can be
  // made.
  static std::unique_ptr<SpooledInput> Open(std::FILE* source);
  ~SpooledInput() override;
  bool Close() override;

 private:
  SpooledInput(std::FILE* source, std::FILE* spool, std::string spool_path);
  size_t ReadRaw(char* buf, size_t n, bool& failed) override;
  bool RewindRaw() override;

  std::FILE* source_;
  std::FILE* spool_;
  std::string spool_path_;  // removed at Close() where it could not be before
  uint64_t kept_ = 0;       // bytes in the spool
  uint64_t next_ = 0;       // the next byte to hand out
  bool appending_ = true;   // the spool is positioned for writing
};

// Everything the tool writes: each LF is written as CR LF, nothing else is
// added. Bytes are buffered; after the first failure nothing more is written
// and ok() stays false.
class Output {
 public:
  virtual ~Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(std::string_view text);
  // Hands buffered bytes to the sink. Returns ok().
  bool Flush();
  // From now on, also hands the buffered bytes on after every write that
  // holds a line end, and after any write made once `max_delay` has passed
  // since they were last handed on: what a person watching the console
  // expects.
  void FlushLinesAndEvery(std::chrono::steady_clock::duration max_delay);
  bool ok() const { return ok_; }
  // Flushes and releases the sink. Returns true only if every byte written
  // so far reached it. Idempotent.
  virtual bool Close() { return Flush(); }

 protected:
  // Buffers up to `buffer_size` bytes before handing them on; 0 hands every
  // write on at once.
  explicit Output(size_t buffer_size);
  // Takes `bytes` whole; false on failure.
  virtual bool Put(std::string_view bytes) = 0;
  // The clock of FlushLinesAndEvery.
  virtual std::chrono::steady_clock::time_point Now() const {
    return std::chrono::steady_clock::now();
  }

 private:
  std::string buffer_;
  size_t buffer_size_;
  bool ok_ = true;
  bool flush_lines_ = false;
  std::chrono::steady_clock::duration max_delay_{};
  std::chrono::steady_clock::time_point last_flush_{};
};

// Writes to a file. Files it creates it owns and closes; a borrowed stream
// (the console) is only flushed, and is made unbuffered, so that what this
// class hands on reaches the system at once.
class FileOutput : public Output {
 public:
  explicit FileOutput(std::FILE* borrowed);
  // Creates or empties `path` for writing in binary mode; nullptr on failure.
  static std::unique_ptr<FileOutput> Create(const std::string& path);
  ~FileOutput() override;
  // Flushes and closes (or, borrowed, flushes) the file.
  bool Close() override;

 private:
  FileOutput(std::FILE* file, bool owned);
  bool Put(std::string_view bytes) override;

  std::FILE* file_;
  bool owned_;
};
}  // namespace vostrel

#endif  // VOSTREL_TEXT_IO_H_
