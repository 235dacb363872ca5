#pragma once
// A list of callbacks that a model notifies, and the subscription that keeps one registered.
// Dropping the subscription unregisters the callback, also from inside a notification, so an
// observer never runs after its owner is gone. Main thread only.

#include <functional>
#include <memory>
#include <vector>

namespace velvix {

class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::shared_ptr<void> alive) : alive_(std::move(alive)) {}
  void cancel() { alive_.reset(); }
  bool isActive() const { return alive_ != nullptr; }

 private:
  std::shared_ptr<void> alive_;
};

template <typename... Args>
class ObserverList {
 public:
  using Callback = std::function<void(Args...)>;

  [[nodiscard]] Subscription add(Callback callback) {
    auto entry = std::make_shared<Callback>(std::move(callback));
    entries_.push_back(entry);
    return Subscription(std::shared_ptr<void>(entry));
  }

  void notify(Args... args) {
    // Work on a snapshot so callbacks may subscribe or unsubscribe while we notify.
    std::vector<std::weak_ptr<Callback>> snapshot = entries_;
    for (auto& weak : snapshot)
      if (auto callback = weak.lock()) (*callback)(args...);
    std::erase_if(entries_, [](const auto& weak) { return weak.expired(); });
  }

  bool empty() const {
    for (const auto& weak : entries_)
      if (!weak.expired()) return false;
    return true;
  }

 private:
  std::vector<std::weak_ptr<Callback>> entries_;
};

}  // namespace velvix
