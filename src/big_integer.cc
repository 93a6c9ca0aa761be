// vostrel's big integers: schoolbook arithmetic on 32-bit limbs with 64-bit
// intermediates, which every compiler provides.
#include "big_integer.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>

#include "number_rules.h"

namespace vostrel {

namespace {

// 5^13, the largest power of five below 2^32: the limbs take powers of
// five up to it in one step.
constexpr int kLimbPowerOfFive = 13;
constexpr auto kFiveToThe13 =
    static_cast<uint32_t>(kPowersOfFive[kLimbPowerOfFive]);
static_assert(kPowersOfFive[kLimbPowerOfFive + 1] > UINT32_MAX);

// 5^power for power from 0 to 12.
uint32_t SmallPowerOfFive(int power) {
  return static_cast<uint32_t>(kPowersOfFive[static_cast<size_t>(power)]);
}

}  // namespace

BigInteger::BigInteger(uint64_t value) {
  limbs_[0] = static_cast<uint32_t>(value);
  limbs_[1] = static_cast<uint32_t>(value >> 32);
  size_ = 2;
  Trim();
}

BigInteger::BigInteger(const BigInteger& other) : size_(other.size_) {
  std::copy(other.limbs_, other.limbs_ + size_, limbs_);
}

BigInteger& BigInteger::operator=(const BigInteger& other) {
  if (this == &other) return *this;
  size_ = other.size_;
  std::copy(other.limbs_, other.limbs_ + size_, limbs_);
  return *this;
}

void BigInteger::Trim() {
  while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
}

void BigInteger::Push(uint32_t limb) {
  assert(size_ < kMaxLimbs && "a caller passed its bound");
  limbs_[size_++] = limb;
}

int BigInteger::BitLength() const {
  if (size_ == 0) return 0;
  return 32 * size_ - std::countl_zero(limbs_[size_ - 1]);
}

uint64_t BigInteger::Top64() const {
  if (size_ == 0) return 0;
  const int shift = std::countl_zero(limbs_[size_ - 1]);
  // The top three limbs hold the top 64 bits whatever the shift.
  uint64_t high = uint64_t{limbs_[size_ - 1]} << 32;
  if (size_ >= 2) high |= limbs_[size_ - 2];
  const uint64_t low = size_ >= 3 ? limbs_[size_ - 3] : 0;
  if (shift == 0) return high;
  return high << shift | low >> (32 - shift);
}

uint64_t BigInteger::Low64() const {
  uint64_t value = size_ >= 1 ? limbs_[0] : 0;
  if (size_ >= 2) value |= uint64_t{limbs_[1]} << 32;
  return value;
}

void BigInteger::MultiplyAdd(uint32_t factor, uint32_t addend) {
  uint64_t carry = addend;
  for (int i = 0; i < size_; ++i) {
    const uint64_t product = uint64_t{limbs_[i]} * factor + carry;
    limbs_[i] = static_cast<uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) Push(static_cast<uint32_t>(carry));
  Trim();  // a zero factor
}

void BigInteger::MultiplyByPowerOfFive(int power) {
  for (; power >= kLimbPowerOfFive; power -= kLimbPowerOfFive)
    MultiplyAdd(kFiveToThe13, 0);
  if (power > 0) MultiplyAdd(SmallPowerOfFive(power), 0);
}

void BigInteger::ShiftLeft(int bits) {
  if (size_ == 0) return;
  const int limbs = bits / 32;
  const int shift = bits % 32;
  if (shift != 0) {
    uint32_t carry = 0;
    for (int i = 0; i < size_; ++i) {
      const uint32_t limb = limbs_[i];
      limbs_[i] = limb << shift | carry;
      carry = limb >> (32 - shift);
    }
    if (carry != 0) Push(carry);
  }
  if (limbs != 0) {
    assert(size_ + limbs <= kMaxLimbs && "a caller passed its bound");
    std::copy_backward(limbs_, limbs_ + size_, limbs_ + size_ + limbs);
    std::fill(limbs_, limbs_ + limbs, 0u);
    size_ += limbs;
  }
}

bool BigInteger::ShiftRight(int bits) {
  assert(bits < BitLength() && "the whole value shifted out");
  const int limbs = bits / 32;
  const int shift = bits % 32;
  bool dropped = std::any_of(limbs_, limbs_ + limbs,
                             [](uint32_t limb) { return limb != 0; });
  std::copy(limbs_ + limbs, limbs_ + size_, limbs_);
  size_ -= limbs;
  if (shift != 0) {
    dropped = dropped || (limbs_[0] & ((uint32_t{1} << shift) - 1)) != 0;
    for (int i = 0; i < size_; ++i) {
      const uint32_t next = i + 1 < size_ ? limbs_[i + 1] : 0;
      limbs_[i] = limbs_[i] >> shift | next << (32 - shift);
    }
  }
  Trim();
  return dropped;
}

bool BigInteger::DivideByPowerOfFive(int power) {
  bool remainder = false;
  for (; power >= kLimbPowerOfFive; power -= kLimbPowerOfFive)
    remainder |= Divide(kFiveToThe13) != 0;
  if (power > 0) remainder |= Divide(SmallPowerOfFive(power)) != 0;
  return remainder;
}

uint32_t BigInteger::Divide(uint32_t divisor) {
  uint64_t remainder = 0;
  for (int i = size_ - 1; i >= 0; --i) {
    const uint64_t dividend = remainder << 32 | limbs_[i];
    limbs_[i] = static_cast<uint32_t>(dividend / divisor);
    remainder = dividend % divisor;
  }
  Trim();
  return static_cast<uint32_t>(remainder);
}

BigInteger operator*(const BigInteger& a, const BigInteger& b) {
  BigInteger product;
  if (a.size_ == 0 || b.size_ == 0) return product;
  assert(a.size_ + b.size_ <= BigInteger::kMaxLimbs &&
         "a caller passed its bound");
  product.size_ = a.size_ + b.size_;
  std::fill(product.limbs_, product.limbs_ + product.size_, 0u);
  for (int i = 0; i < a.size_; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < b.size_; ++j) {
      const uint64_t t =
          uint64_t{a.limbs_[i]} * b.limbs_[j] + product.limbs_[i + j] + carry;
      product.limbs_[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    product.limbs_[i + b.size_] = static_cast<uint32_t>(carry);
  }
  product.Trim();
  return product;
}

int Compare(const BigInteger& a, const BigInteger& b) {
  if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
  for (int i = a.size_ - 1; i >= 0; --i) {
    if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace vostrel
