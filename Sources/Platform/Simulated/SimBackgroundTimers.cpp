#include "Platform/Simulated/SimBackgroundTimers.hpp"

namespace velvix::sim {
namespace {

class SimRepeatingTask final : public platform::RepeatingTask {
 public:
  SimRepeatingTask(SimMainLoop& loop, double interval, std::function<void()> work)
      : loop_(loop), work_(std::make_shared<std::function<void()>>(std::move(work))) {
    setInterval(interval);
  }
  void setInterval(double seconds) override {
    timer_ = loop_.everyInBackground(seconds, [work = work_] { (*work)(); });
  }
  void cancel() override { timer_.invalidate(); }

 private:
  SimMainLoop& loop_;
  std::shared_ptr<std::function<void()>> work_;
  platform::Timer timer_;
};

}  // namespace

std::unique_ptr<platform::RepeatingTask> SimBackgroundTimers::every(const std::string&, double interval,
                                                                    std::function<void()> work) {
  return std::make_unique<SimRepeatingTask>(loop_, interval, std::move(work));
}

}  // namespace velvix::sim
