// vostrel's missing-value codes of --missing.
#include "missing.h"

#include <algorithm>
#include <cstring>

#include "scan.h"

namespace vostrel {

namespace {

// An item's bytes as an input, to learn whether the number scan converts
// it whole.
class ItemInput final : public Input {
 public:
  explicit ItemInput(std::string_view text)
      : Input(text.size() + 2), text_(text) {}

 private:
  size_t ReadRaw(char* buf, size_t n, bool& /*failed*/) override {
    const size_t taken = std::min(n, text_.size() - offset_);
    std::memcpy(buf, text_.data() + offset_, taken);
    offset_ += taken;
    return taken;
  }
  bool RewindRaw() override {
    offset_ = 0;
    return true;
  }

  std::string_view text_;
  size_t offset_ = 0;
};

bool ConvertsWhole(const std::string& item, double& value) {
  ItemInput in(item);
  return ScanNumber(in, value) == Scan::kNumber && in.offset() == item.size() &&
         in.begin() == in.end() && !in.Refill();
}

// The end of the field that starts at `p`: the next white space or NUL, or
// `e`.
const char* FieldEnd(const char* p, const char* e) {
  while (p < e && *p != '\0' && !IsScanSpace(*p)) ++p;
  return p;
}

bool IsItem(std::string_view field, const std::vector<std::string>& items) {
  return std::find(items.begin(), items.end(), field) != items.end();
}

}  // namespace

bool MissingCodes::IsNumber(double value) const {
  return std::find(numbers.begin(), numbers.end(), value) != numbers.end();
}

MissingCodes ClassifyMissing(const std::vector<std::string>& items) {
  MissingCodes codes;
  for (const std::string& item : items) {
    double value = 0;
    if (ConvertsWhole(item, value)) {
      codes.numbers.push_back(value);
    } else if (item.size() <= kMaxMissingWord) {
      codes.words.push_back(item);
      codes.longest_word = std::max(codes.longest_word, item.size());
    }
  }
  return codes;
}

bool ConsumeMissingWord(Input& in, const MissingCodes& codes) {
  if (codes.words.empty()) return false;
  // A field longer than every word matches none, so one byte past the
  // longest word decides; near the window's end, read on first.
  const size_t needed = codes.longest_word + 1;
  if (static_cast<size_t>(in.end() - in.begin()) < needed) in.Extend(needed);
  const char* const end = FieldEnd(in.begin(), in.end());
  if (!IsItem(
          std::string_view(in.begin(), static_cast<size_t>(end - in.begin())),
          codes.words)) {
    return false;
  }
  in.Advance(end);
  return true;
}

bool BeginsWithItem(std::string_view text,
                    const std::vector<std::string>& items) {
  const char* p = text.data();
  const char* const e = p + text.size();
  while (p < e && IsScanSpace(*p)) ++p;
  const char* const end = FieldEnd(p, e);
  return end > p &&
         IsItem(std::string_view(p, static_cast<size_t>(end - p)), items);
}

}  // namespace vostrel
