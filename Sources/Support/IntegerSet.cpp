#include "Support/IntegerSet.hpp"

#include <algorithm>
#include <bit>

namespace velvix {

void IntegerSet::reserve(std::size_t expected) {
  // At most half the slots in use keeps the runs of taken slots short.
  const std::size_t wanted = std::bit_ceil(std::max<std::size_t>(2 * expected, 8));
  if (wanted > slots_.size()) grow(wanted);
}

void IntegerSet::grow(std::size_t slots) {
  std::vector<std::int64_t> old = std::move(slots_);
  slots_.assign(slots, kFree);
  shift_ = 64 - static_cast<unsigned>(std::countr_zero(slots));
  const std::size_t mask = slots - 1;
  for (std::int64_t value : old) {
    if (value == kFree) continue;
    std::size_t at = slotOf(value);
    while (slots_[at] != kFree) at = (at + 1) & mask;
    slots_[at] = value;
  }
}

bool IntegerSet::insert(std::int64_t value) {
  if (value == kFree) {
    if (hasFreeMarker_) return false;
    hasFreeMarker_ = true;
    ++size_;
    return true;
  }
  if (2 * (size_ + 1) > slots_.size()) grow(std::bit_ceil(std::max<std::size_t>(4 * (size_ + 1), 8)));
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = slotOf(value);; at = (at + 1) & mask) {
    if (slots_[at] == value) return false;
    if (slots_[at] == kFree) {
      slots_[at] = value;
      ++size_;
      return true;
    }
  }
}

bool IntegerSet::contains(std::int64_t value) const {
  if (value == kFree) return hasFreeMarker_;
  if (slots_.empty()) return false;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = slotOf(value);; at = (at + 1) & mask) {
    if (slots_[at] == value) return true;
    if (slots_[at] == kFree) return false;
  }
}

}  // namespace velvix
