// vostrel's file system seam.
#include "file_system.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vostrel {

std::unique_ptr<Input> DiskFileSystem::OpenForReading(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return nullptr;
  return FileInput::Open(path);
}

std::unique_ptr<Input> DiskFileSystem::OpenStandardInput() {
  return SpooledInput::Open(stdin);
}

bool DiskFileSystem::SameAsStandardInput(const std::string& path) {
#ifdef _WIN32
  // File identities of a handle and a name are not compared here.
  (void)path;
  return false;
#else
  struct stat in;
  struct stat named;
  return fstat(STDIN_FILENO, &in) == 0 && stat(path.c_str(), &named) == 0 &&
         in.st_dev == named.st_dev && in.st_ino == named.st_ino;
#endif
}

std::unique_ptr<Output> DiskFileSystem::Create(const std::string& path) {
  return FileOutput::Create(path);
}

bool DiskFileSystem::CheckWritable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return false;
  // Opening a FIFO would wait for, or end, its reader.
  if (!fs::is_regular_file(status)) return true;
    // Opened without creating or truncating, and closed again unchanged.
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_BINARY);
  if (fd < 0) return false;
  _close(fd);
#else
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
#endif
  return true;
}

bool DiskFileSystem::SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace vostrel
