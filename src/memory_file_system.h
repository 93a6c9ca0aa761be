// A file system in memory for tests: the FileSystem seam with files that are
// strings, links, and failures on request.
#ifndef VOSTREL_MEMORY_FILE_SYSTEM_H_
#define VOSTREL_MEMORY_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "file_system.h"
#include "text_io.h"
#include "vostrel.h"

namespace vostrel {

// Files in memory, for tests: names are plain keys, a link makes one name
// reach another's file, and reads, creates and writes can fail on request.
// What an output writes is in the file at once, so a test sees it whether or
// not the run closed it.
class MemoryFileSystem : public FileSystem {
 public:
  void AddFile(const std::string& name, std::string bytes);
  // What standard input holds; a link to kStandardInput reaches it.
  void SetStandardInput(std::string bytes);
  static constexpr char kStandardInput[] = "<standard input>";
  void AddDirectory(const std::string& name);
  // Makes `name` reach whatever `target` names, now or later.
  void AddLink(const std::string& name, const std::string& target);
  // Reading `name` fails once its first `n` bytes have been read.
  void FailReadAfter(const std::string& name, size_t n);
  // Creating `name` fails, and so does opening it for writing once it
  // exists: a file that is read-only or locked by another program.
  void FailCreate(const std::string& name);
  // Writing to `name` fails once `n` bytes have been written to it.
  void FailWriteAfter(const std::string& name, size_t n);

  // The bytes of the file `name` reaches; nullptr when it is no file.
  const std::string* File(const std::string& name) const;
  // Reads are taken `block_size` bytes at a time (small blocks move tokens
  // and CR LF pairs across block boundaries).
  void set_block_size(size_t block_size) { block_size_ = block_size; }
  // Inputs opened from now on take lines of at most `length` characters
  // (Input::set_max_line_length), so that tests need no 64 MiB line.
  void set_max_line_length(uint64_t length) { max_line_length_ = length; }

  std::unique_ptr<Input> OpenForReading(const std::string& path) override;
  std::unique_ptr<Input> OpenStandardInput() override;
  bool SameAsStandardInput(const std::string& path) override;
  std::unique_ptr<Output> Create(const std::string& path) override;
  bool CheckWritable(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;

 private:
  // The name `name` ends at after following links.
  std::string Resolve(const std::string& name) const;

  std::map<std::string, std::string> files_;
  std::set<std::string> directories_;
  std::map<std::string, std::string> links_;
  std::map<std::string, size_t> read_limits_;
  std::map<std::string, size_t> write_limits_;
  std::set<std::string> failing_creates_;
  size_t block_size_ = size_t{1} << 16;
  uint64_t max_line_length_ = kMaxLineLength;
};

}  // namespace vostrel

#endif  // VOSTREL_MEMORY_FILE_SYSTEM_H_
