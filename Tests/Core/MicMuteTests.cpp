#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "Core/MicMute.hpp"
#include "Core/QuitCleanup.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

TEST(MicMute, UnmutingLiftsOnlyASilentLevelAndAlwaysClearsTheHardwareMute) {
  TestWorld w;
  w.services();
  sim::SimAudioInput& mic = w.desktop.microphone();
  w.micMute().setMuted(true);  // by level: 0.75 saved
  // Another tool raised the level to 0.4 and muted the device by its mute property.
  mic.level = 0.4f;
  mic.muted = true;
  w.micMute().setMuted(false);
  EXPECT_FALSE(mic.muted);
  EXPECT_FLOAT_EQ(mic.level, 0.4f);  // not the stale 0.75

  // A silent level still gets the saved one back.
  w.micMute().setMuted(true);
  EXPECT_FLOAT_EQ(mic.level, 0.0f);
  w.micMute().setMuted(false);
  EXPECT_FLOAT_EQ(mic.level, 0.4f);
}

TEST(MicMute, TheMicKeyTogglesUntilTheQuitClosesIt) {
  TestWorld w;
  w.services();
  EXPECT_EQ(w.micMute().toggle(), true);
  EXPECT_EQ(w.micMute().toggle(), false);
  w.micMute().closeForQuit();
  EXPECT_EQ(w.micMute().toggle(), std::nullopt);
  EXPECT_FALSE(w.micMute().isMuted());
}

// Mic-key presses on their own thread race the quit clean-up: whatever order they land in, the
// microphone is not left muted by this program after the quit has run.
TEST(MicMute, AKeyPressRacingTheQuitNeverLeavesTheMicrophoneMuted) {
  for (int round = 0; round < 20; ++round) {
    TestWorld w;
    w.services();
    w.desktop.application().quitReason = platform::Application::QuitReason::logOut;  // no dialog
    std::atomic<bool> go{false};
    std::thread presses([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 50; ++i) w.micMute().toggle();
    });
    go = true;
    QuitCleanup::releaseMicrophoneIfHeld(w.micMute(), w.defaults, w.updateChecker(), w.desktop.application(),
                                         w.log(), false);
    presses.join();
    EXPECT_FALSE(w.micMute().isMuted()) << "round " << round;
  }
}

}  // namespace
}  // namespace velvix
