// vostrel's file system seam: the few things a run asks of the files it
// names, on the disk (here) or in memory for tests (memory_file_system.h).
#ifndef VOSTREL_FILE_SYSTEM_H_
#define VOSTREL_FILE_SYSTEM_H_

#include <cstddef>
#include <memory>
#include <string>

#include "text_io.h"

namespace vostrel {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens `path` for reading in binary mode; nullptr when it cannot be
  // opened or is a directory (some systems open one and fail only at the
  // first read).
  virtual std::unique_ptr<Input> OpenForReading(const std::string& path) = 0;
  // Opens standard input, bytes as they come; it reads again from its first
  // byte after Rewind(). nullptr when that cannot be arranged.
  virtual std::unique_ptr<Input> OpenStandardInput() = 0;
  // True when `path` exists and is the file standard input reads.
  virtual bool SameAsStandardInput(const std::string& path) = 0;
  // Creates `path`, or empties it if it exists, for writing in binary mode;
  // nullptr on failure.
  virtual std::unique_ptr<Output> Create(const std::string& path) = 0;
  // False when `path` names a directory, or a file that cannot be opened for
  // writing (read-only, or locked by another program); true when it names
  // nothing or such a file opens. Changes, truncates and creates nothing.
  // Other kinds of file (a FIFO, a device) are left to Create().
  virtual bool CheckWritable(const std::string& path) = 0;
  // True when both names exist and reach one file (a link, or another
  // spelling on a case-insensitive system). False when either is missing.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
};

// The real files.
class DiskFileSystem : public FileSystem {
 public:
  std::unique_ptr<Input> OpenForReading(const std::string& path) override;
  std::unique_ptr<Input> OpenStandardInput() override;
  bool SameAsStandardInput(const std::string& path) override;
  std::unique_ptr<Output> Create(const std::string& path) override;
  bool CheckWritable(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;
};

}  // namespace vostrel

#endif  // VOSTREL_FILE_SYSTEM_H_
