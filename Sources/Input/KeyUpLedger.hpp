#pragma once
// Key codes whose key-down the event tap consumed: their key-up must be swallowed too, or the
// application in front would see a key-up without its key-down.

#include <cstdint>
#include <set>

namespace velvix {

struct KeyUpLedger {
  std::set<std::int64_t> consumedKeys;

  void consumed(std::int64_t code) { consumedKeys.insert(code); }
  // True (and forgets the code) when the key-up belongs to a consumed key-down.
  bool swallowKeyUp(std::int64_t code) { return consumedKeys.erase(code) > 0; }
  void passed(std::int64_t code) { consumedKeys.erase(code); }
  void clear() { consumedKeys.clear(); }
};

}  // namespace velvix
