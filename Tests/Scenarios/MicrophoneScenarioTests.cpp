#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "Core/MicMute.hpp"
#include "Core/QuitCleanup.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/UserDefaults.hpp"
#include "Support/UpdateChecker.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/MicFeedbackHUD.hpp"

namespace velvix {
namespace {

constexpr std::int64_t kMicKey = platform::KeyCode::kMicrophone;
constexpr const char* kStateFolder = ".velvix-simulated-desktop";

struct MicWorld : test::AppWorld {
  // `previousRun`: the same home folder and settings as a run that quit before this one.
  explicit MicWorld(const MicWorld* previousRun = nullptr) {
    if (previousRun) {
      std::filesystem::create_directories(home.path() / kStateFolder);
      std::filesystem::copy_file(previousRun->home.path() / kStateFolder / "microphone",
                                 home.path() / kStateFolder / "microphone");
      const auto values = previousRun->settings.userValues();
      for (const auto& [key, value] : values.items()) settings.set(key, value);
    }
    notes = launchApp("com.example.notes", "Notes", {"Ideas"});
    launch();
    desktop.activate(notes);
    pause(0.5);
  }
  // Presses the mic key and waits (real time, bounded) for its toggle to come back to the loop.
  bool pressMic() {
    const auto before = hud().showGeneration();
    desktop.input().press(kMicKey);
    return loop.runUntil([&] { return hud().showGeneration() > before; });
  }
  MicFeedbackHUD& hud() { return *services().micHUD; }
  sim::SimAudioInput& mic() { return desktop.microphone(); }
  bool held() { return services().defaults->boolean(MicMute::kHeldKey); }
  platform::Pid notes = 0;
};

TEST(MicrophoneScenario, TheMicKeyMutesAndUnmutesTheInputAndShowsTheOverlay) {
  MicWorld w;
  ASSERT_TRUE(w.pressMic());
  EXPECT_FLOAT_EQ(w.mic().level, 0.0f);
  EXPECT_TRUE(w.held());
  EXPECT_EQ(w.hud().lastShown(), true);
  EXPECT_TRUE(w.hud().isVisible());
  // Centred on the screen under the pointer.
  EXPECT_EQ(w.hud().frame(), (Rect{720 - 85, 450 - 85, 170, 170}));
  for (const auto& e : w.desktop.input().reachedFrontApplication) EXPECT_NE(e.keyCode, kMicKey);

  // A second press 0.5 s later unmutes and restarts the hide delay: visible until 0.9 s after
  // it, then faded out over 0.25 s.
  w.pause(0.5);
  ASSERT_TRUE(w.pressMic());
  EXPECT_FLOAT_EQ(w.mic().level, 0.75f);
  EXPECT_EQ(w.hud().lastShown(), false);
  w.pause(0.85);
  EXPECT_TRUE(w.hud().isVisible());
  EXPECT_DOUBLE_EQ(w.hud().alpha(), 1.0);
  w.pause(0.15);
  EXPECT_TRUE(w.hud().isVisible());
  EXPECT_LT(w.hud().alpha(), 1.0);
  w.pause(0.25);
  EXPECT_FALSE(w.hud().isVisible());
}

TEST(MicrophoneScenario, QuittingWhileMutedAsksTheUserWhoMayKeepTheMute) {
  MicWorld keep;
  ASSERT_TRUE(keep.pressMic());
  keep.desktop.application().alertAnswer = 1;  // "Quit, Leave Muted"
  keep.app->terminate();
  EXPECT_EQ(keep.desktop.application().alertsShown, std::vector<std::string>{QuitCleanup::kMessage});
  EXPECT_FLOAT_EQ(keep.mic().level, 0.0f);
  EXPECT_TRUE(keep.held());  // the next launch reconciles it

  MicWorld unmute;
  ASSERT_TRUE(unmute.pressMic());
  unmute.desktop.application().alertAnswer = 0;  // "Unmute and Quit"
  unmute.app->terminate();
  EXPECT_FLOAT_EQ(unmute.mic().level, 0.75f);
  EXPECT_FALSE(unmute.held());
}

// The microphone is hardware: the mute the user chose to keep is there at the next launch, so the
// next press of the key unmutes to the level it had.
TEST(MicrophoneScenario, AMuteKeptAtQuitIsStillOnAtTheNextLaunchAndTheKeyThenUnmutes) {
  auto first = std::make_unique<MicWorld>();
  ASSERT_TRUE(first->pressMic());
  first->desktop.application().alertAnswer = 1;  // "Quit, Leave Muted"
  first->app->terminate();
  first->app.reset();

  MicWorld next(first.get());
  EXPECT_FLOAT_EQ(next.mic().level, 0.0f);
  EXPECT_TRUE(next.held());
  ASSERT_TRUE(next.pressMic());
  EXPECT_FLOAT_EQ(next.mic().level, 0.75f);
  EXPECT_EQ(next.hud().lastShown(), false);
  EXPECT_FALSE(next.held());
}

TEST(MicrophoneScenario, ASystemQuitOrLockedInputUnmutesWithoutAskingAndAnUpdateKeepsTheMute) {
  MicWorld logOut;
  ASSERT_TRUE(logOut.pressMic());
  logOut.desktop.application().quitReason = platform::Application::QuitReason::logOut;
  logOut.app->terminate();
  EXPECT_TRUE(logOut.desktop.application().alertsShown.empty());
  EXPECT_FLOAT_EQ(logOut.mic().level, 0.75f);

  MicWorld locked;
  ASSERT_TRUE(locked.pressMic());
  locked.app->delegate().eventTap()->lockInput(20, nullptr);
  locked.app->terminate();
  EXPECT_TRUE(locked.desktop.application().alertsShown.empty());
  EXPECT_FLOAT_EQ(locked.mic().level, 0.75f);

  MicWorld update;
  ASSERT_TRUE(update.pressMic());
  update.services().updateChecker->updaterWillRelaunchApplication();
  update.app->terminate();
  EXPECT_TRUE(update.desktop.application().alertsShown.empty());
  EXPECT_FLOAT_EQ(update.mic().level, 0.0f);
  EXPECT_TRUE(update.held());
}

// A quit by signal is the system's (how a session's end stops a program): nothing is asked and
// the mute is lifted. A signal while the user's own quit is asking answers the question the same
// way: the open question is taken away and the mute lifted, whatever the user would have chosen.
TEST(MicrophoneScenario, AQuitBySignalUnmutesWithoutAskingAndAnswersAQuestionAlreadyOpen) {
  using Reason = platform::Application::QuitReason;
  MicWorld bySignal;
  ASSERT_TRUE(bySignal.pressMic());
  bySignal.app->terminate(Reason::signal);
  EXPECT_TRUE(bySignal.desktop.application().alertsShown.empty());
  EXPECT_FLOAT_EQ(bySignal.mic().level, 0.75f);
  EXPECT_FALSE(bySignal.held());
  EXPECT_EQ(bySignal.healthLines().back(), "quit");

  MicWorld byUser;
  ASSERT_TRUE(byUser.pressMic());
  auto& app = byUser.desktop.application();
  bool dismissed = false;
  app.dismissModal = [&] { dismissed = true; };
  app.presentModal = [&](const sim::SimApplication::AlertText&) {
    byUser.app->terminate(Reason::signal);  // SIGTERM while the user reads the question
    return dismissed ? -1 : 1;              // else "Quit, Leave Muted"
  };
  byUser.app->terminate();
  EXPECT_TRUE(dismissed);
  EXPECT_FLOAT_EQ(byUser.mic().level, 0.75f);
  EXPECT_FALSE(byUser.held());
  auto lines = byUser.healthLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "quit"), 1);
}

}  // namespace
}  // namespace velvix
