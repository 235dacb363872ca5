#include "Platform/NotificationCenter.hpp"

#include <algorithm>
#include <atomic>

#include "Platform/MainLoop.hpp"

namespace velvix::platform {

struct NotificationCenter::Observation::Entry {
  std::string name;
  Handler handler;
  MainLoop* loop = nullptr;
  std::atomic<bool> live{true};
};

struct NotificationCenter::Observation::Shared {
  std::mutex mutex;
  std::vector<std::shared_ptr<Entry>> entries;
};

void NotificationCenter::Observation::cancel() {
  if (!entry_) return;
  entry_->live = false;
  if (auto shared = owner_.lock()) {
    std::lock_guard lock(shared->mutex);
    std::erase(shared->entries, entry_);
  }
  entry_.reset();
  owner_.reset();
}

NotificationCenter::NotificationCenter() : shared_(std::make_shared<Observation::Shared>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter::Observation NotificationCenter::observe(std::string name, Handler handler) {
  Observation observation;
  observation.entry_ = std::make_shared<Observation::Entry>();
  observation.entry_->name = std::move(name);
  observation.entry_->handler = std::move(handler);
  observation.owner_ = shared_;
  std::lock_guard lock(shared_->mutex);
  shared_->entries.push_back(observation.entry_);
  return observation;
}

NotificationCenter::Observation NotificationCenter::observe(std::string name, MainLoop& deliverOn,
                                                            Handler handler) {
  Observation observation = observe(std::move(name), std::move(handler));
  observation.entry_->loop = &deliverOn;
  return observation;
}

void NotificationCenter::post(const std::string& name, nlohmann::json userInfo) {
  std::vector<std::shared_ptr<Observation::Entry>> targets;
  {
    std::lock_guard lock(shared_->mutex);
    for (const auto& entry : shared_->entries)
      if (entry->name == name) targets.push_back(entry);
  }
  Notification notification{name, std::move(userInfo)};
  for (const auto& entry : targets) {
    if (!entry->live) continue;  // removed by an earlier observer of this same post
    if (entry->loop && !entry->loop->isMainThread()) {
      entry->loop->post([entry, notification] {
        if (entry->live) entry->handler(notification);
      });
    } else {
      entry->handler(notification);
    }
  }
}

}  // namespace velvix::platform
