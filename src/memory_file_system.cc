// A file system in memory for tests.
#include "memory_file_system.h"

#include <string_view>
#include <utility>

#include "string_io.h"

namespace vostrel {

namespace {

// Writes into a file of a MemoryFileSystem, failing past its limit.
class MemoryOutput : public Output {
 public:
  MemoryOutput(std::string& file, size_t limit)
      : Output(0), file_(file), limit_(limit) {}

 private:
  bool Put(std::string_view bytes) override {
    if (file_.size() + bytes.size() > limit_) return false;
    file_.append(bytes);
    return true;
  }

  std::string& file_;
  size_t limit_;
};

template <typename Map>
auto FindOr(const Map& map, const std::string& key,
            typename Map::mapped_type fallback) {
  const auto it = map.find(key);
  return it == map.end() ? fallback : it->second;
}

}  // namespace

void MemoryFileSystem::AddFile(const std::string& name, std::string bytes) {
  files_[name] = std::move(bytes);
}

void MemoryFileSystem::AddDirectory(const std::string& name) {
  directories_.insert(name);
}

void MemoryFileSystem::AddLink(const std::string& name,
                               const std::string& target) {
  links_[name] = target;
}

void MemoryFileSystem::FailReadAfter(const std::string& name, size_t n) {
  read_limits_[name] = n;
}

void MemoryFileSystem::FailCreate(const std::string& name) {
  failing_creates_.insert(name);
}

void MemoryFileSystem::FailWriteAfter(const std::string& name, size_t n) {
  write_limits_[name] = n;
}

std::string MemoryFileSystem::Resolve(const std::string& name) const {
  std::string resolved = name;
  // A cycle of links reaches nothing; the bound ends it.
  for (int depth = 0; depth < 40; ++depth) {
    const auto it = links_.find(resolved);
    if (it == links_.end()) return resolved;
    resolved = it->second;
  }
  return std::string();
}

const std::string* MemoryFileSystem::File(const std::string& name) const {
  const auto it = files_.find(Resolve(name));
  return it == files_.end() ? nullptr : &it->second;
}

std::unique_ptr<Input> MemoryFileSystem::OpenForReading(
    const std::string& path) {
  const std::string name = Resolve(path);
  const auto it = files_.find(name);
  if (it == files_.end()) return nullptr;
  auto input = std::make_unique<StringInput>(it->second, block_size_);
  input->FailAfter(FindOr(read_limits_, name, static_cast<size_t>(-1)));
  input->set_max_line_length(max_line_length_);
  return input;
}

void MemoryFileSystem::SetStandardInput(std::string bytes) {
  AddFile(kStandardInput, std::move(bytes));
}

std::unique_ptr<Input> MemoryFileSystem::OpenStandardInput() {
  return OpenForReading(kStandardInput);
}

bool MemoryFileSystem::SameAsStandardInput(const std::string& path) {
  return SameFile(path, kStandardInput);
}

std::unique_ptr<Output> MemoryFileSystem::Create(const std::string& path) {
  const std::string name = Resolve(path);
  if (name.empty() || directories_.count(name) != 0 ||
      failing_creates_.count(name) != 0) {
    return nullptr;
  }
  std::string& file = files_[name];
  file.clear();
  return std::make_unique<MemoryOutput>(
      file, FindOr(write_limits_, name, static_cast<size_t>(-1)));
}

bool MemoryFileSystem::CheckWritable(const std::string& path) {
  const std::string name = Resolve(path);
  if (directories_.count(name) != 0) return false;
  return files_.count(name) == 0 || failing_creates_.count(name) == 0;
}

bool MemoryFileSystem::SameFile(const std::string& a, const std::string& b) {
  const std::string ra = Resolve(a);
  const std::string rb = Resolve(b);
  const bool exists = files_.count(ra) != 0 || directories_.count(ra) != 0;
  return exists && ra == rb;
}

}  // namespace vostrel
