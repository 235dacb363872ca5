#pragma once
// A set of 64-bit integers in one open-addressed table: made in one pass and asked in constant
// time. The window numbers and process ids that a chord's start looks up once per entry are
// thousands; a sorted array answers them in a dozen hard-to-predict steps each.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace velvix {

class IntegerSet {
 public:
  IntegerSet() = default;
  // Room for `expected` values without growing.
  explicit IntegerSet(std::size_t expected) { reserve(expected); }

  void reserve(std::size_t expected);
  // True when the value was not in the set yet.
  bool insert(std::int64_t value);
  bool contains(std::int64_t value) const;
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  // The value that marks a free slot; the value itself is kept apart.
  static constexpr std::int64_t kFree = std::numeric_limits<std::int64_t>::min();

  std::size_t slotOf(std::int64_t value) const {
    // Fibonacci hashing: neighbouring values (window numbers come in runs) land far apart.
    return static_cast<std::size_t>((static_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  void grow(std::size_t slots);

  std::vector<std::int64_t> slots_;
  unsigned shift_ = 64;
  std::size_t size_ = 0;
  bool hasFreeMarker_ = false;  // kFree itself is in the set
};

}  // namespace velvix
