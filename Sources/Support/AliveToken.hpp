#pragma once
// Lets work that outlives a call (timers, completions, posts from other threads) find out whether
// its owner still exists: the owner holds an AliveToken, the work captures token.watch() and
// returns early once it has expired. Callbacks thus hold their owner weakly.

#include <memory>

namespace velvix {

class AliveToken {
 public:
  using Watch = std::weak_ptr<const int>;
  Watch watch() const { return alive_; }

 private:
  std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace velvix
