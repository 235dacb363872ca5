#include <gtest/gtest.h>

#include "Core/MicMute.hpp"
#include "Core/QuitCleanup.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct MicWorld : TestWorld {
  MicWorld() {
    services();
    micMute().setMuted(true);  // the mic key muted it
  }
  sim::SimAudioInput& mic() { return desktop.microphone(); }
};

TEST(MicMute, LevelDevicesAreMutedByLevelAndGetTheirLevelBack) {
  MicWorld w;
  EXPECT_FLOAT_EQ(w.mic().level, 0.0f);
  EXPECT_FALSE(w.mic().muted);  // the mute property is left alone
  EXPECT_TRUE(w.micMute().isMuted());
  w.micMute().setMuted(false);
  EXPECT_FLOAT_EQ(w.mic().level, 0.75f);

  w.mic().level = 0.00005f;  // already silent: nothing is saved, the default level comes back
  w.defaults.remove(MicMute::kSavedVolumeKey);
  w.micMute().setMuted(true);
  w.micMute().setMuted(false);
  EXPECT_FLOAT_EQ(w.mic().level, MicMute::kDefaultRestoreLevel);

  w.mic().levelSettable = false;  // no settable level: the mute property
  w.micMute().setMuted(true);
  EXPECT_TRUE(w.mic().muted);
  w.micMute().setMuted(false);
  EXPECT_FALSE(w.mic().muted);

  w.mic().present = false;
  w.micMute().setMuted(true);
  EXPECT_FALSE(w.micMute().isMuted());
  EXPECT_FALSE(w.defaults.boolean(MicMute::kHeldKey));
}

TEST(MicMute, AMuteLiftedElsewhereIsNoLongerOursAtLaunch) {
  MicWorld w;
  w.mic().level = 0.5f;
  w.micMute().reconcileOwnershipAtLaunch();
  EXPECT_FALSE(w.defaults.boolean(MicMute::kHeldKey));
}

TEST(QuitCleanup, AUserQuitAsksAndCanLeaveTheMicrophoneMuted) {
  MicWorld w;
  w.desktop.application().alertAnswer = 1;
  QuitCleanup::releaseMicrophoneIfHeld(w.micMute(), w.defaults, w.updateChecker(), w.desktop.application(),
                                       w.log(), false);
  EXPECT_EQ(w.desktop.application().alertsShown, std::vector<std::string>{QuitCleanup::kMessage});
  EXPECT_TRUE(w.micMute().isMuted());
  EXPECT_TRUE(w.defaults.boolean(MicMute::kHeldKey));

  w.desktop.application().alertAnswer = 0;
  QuitCleanup::releaseMicrophoneIfHeld(w.micMute(), w.defaults, w.updateChecker(), w.desktop.application(),
                                       w.log(), false);
  EXPECT_FALSE(w.micMute().isMuted());
}

TEST(QuitCleanup, SystemQuitsAndLockedInputUnmuteWithoutAsking) {
  MicWorld w;
  w.desktop.application().quitReason = platform::Application::QuitReason::logOut;
  QuitCleanup::releaseMicrophoneIfHeld(w.micMute(), w.defaults, w.updateChecker(), w.desktop.application(),
                                       w.log(), false);
  EXPECT_TRUE(w.desktop.application().alertsShown.empty());
  EXPECT_FALSE(w.micMute().isMuted());

  MicWorld locked;
  QuitCleanup::releaseMicrophoneIfHeld(locked.micMute(), locked.defaults, locked.updateChecker(),
                                       locked.desktop.application(), locked.log(), true);
  EXPECT_TRUE(locked.desktop.application().alertsShown.empty());
  EXPECT_FALSE(locked.micMute().isMuted());
}

TEST(QuitCleanup, UpdateRelaunchesAndOtherPeoplesMutesAreLeftAlone) {
  MicWorld w;
  w.updateChecker().updaterWillRelaunchApplication();
  QuitCleanup::releaseMicrophoneIfHeld(w.micMute(), w.defaults, w.updateChecker(), w.desktop.application(),
                                       w.log(), false);
  EXPECT_TRUE(w.micMute().isMuted());
  EXPECT_TRUE(w.desktop.application().alertsShown.empty());

  TestWorld other;
  other.services();
  other.desktop.microphone().muted = true;  // muted by something else: the flag is not ours
  QuitCleanup::releaseMicrophoneIfHeld(other.micMute(), other.defaults, other.updateChecker(),
                                       other.desktop.application(), other.log(), false);
  EXPECT_TRUE(other.desktop.microphone().muted);
  EXPECT_TRUE(other.desktop.application().alertsShown.empty());
}

}  // namespace
}  // namespace velvix
