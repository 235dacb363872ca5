#pragma once
// What a settings view of a test's own is made with in a test world: the world's own services,
// as the world's settings window gives its view, with the settings read from `preferences`.

#include "TestSupport/TestWorld.hpp"
#include "UI/SettingsView.hpp"

namespace velvix::test {

SettingsView::Collaborators settingsCollaborators(TestWorld& world, Preferences& preferences);
SettingsView::Collaborators settingsCollaborators(TestWorld& world);

}  // namespace velvix::test
