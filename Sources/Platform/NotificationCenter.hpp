#pragma once
// In-process notifications by name ("PreferencesChanged", workspace events, ...). post() calls
// plain observers synchronously on the posting thread; observers bound to the main loop run on it
// (at once when the post is on the main thread, otherwise at the loop's next turn).

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velvix::platform {

class MainLoop;

struct Notification {
  std::string name;
  nlohmann::json userInfo;  // an object, or null when the notification carries nothing
};

class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  // Keeps one observer registered while it lives. Safe to outlive the center.
  class Observation {
   public:
    Observation() = default;
    Observation(Observation&&) noexcept = default;
    Observation& operator=(Observation&& other) noexcept {
      if (this != &other) {
        cancel();
        entry_ = std::move(other.entry_);
        owner_ = std::move(other.owner_);
      }
      return *this;
    }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation() { cancel(); }
    void cancel();

   private:
    friend class NotificationCenter;
    struct Entry;
    struct Shared;
    std::shared_ptr<Entry> entry_;
    std::weak_ptr<Shared> owner_;
  };

  NotificationCenter();
  ~NotificationCenter();

  [[nodiscard]] Observation observe(std::string name, Handler handler);
  [[nodiscard]] Observation observe(std::string name, MainLoop& deliverOn, Handler handler);
  void post(const std::string& name, nlohmann::json userInfo = nullptr);

 private:
  std::shared_ptr<Observation::Shared> shared_;
};

}  // namespace velvix::platform
