// vostrel's file system seam.
#include "file_system.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace vostrel {

std::unique_ptr<Input> DiskFileSystem::OpenForReading(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return nullptr;
  return FileInput::Open(path);
}

std::unique_ptr<Output> DiskFileSystem::Create(const std::string& path) {
  return FileOutput::Create(path);
}

bool DiskFileSystem::SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace vostrel
