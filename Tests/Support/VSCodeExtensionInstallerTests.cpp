#include <algorithm>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "Support/VSCodeExtensionInstaller.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/UserFiles.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using Installer = VSCodeExtensionInstaller;

// The names in a folder, and every file below a folder with its bytes.
std::vector<std::string> names(const fs::path& folder) {
  std::vector<std::string> result;
  for (const auto& entry : fs::directory_iterator(folder)) result.push_back(entry.path().filename().string());
  std::sort(result.begin(), result.end());
  return result;
}
std::map<std::string, std::string> contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = *readFile(entry.path());
  return files;
}

class VSCodeExtensionInstallerTest : public ::testing::Test {
 protected:
  VSCodeExtensionInstallerTest() {
    world.defaults.set("debugLogging", true);
    writeFile(carried() / "package.json", "{\"name\": \"velvix\", \"version\": \"1.0.1\"}");
    writeFile(carried() / "out" / "extension.js", "exports.activate = () => {};");
  }
  fs::path carried() const { return world.resourceFolder.path() / "VSCodeExtension"; }
  fs::path cursor() const { return world.home.path() / ".cursor" / "extensions"; }
  fs::path installed() const { return cursor() / Installer::kFolderName; }

  test::TestWorld world;
  Installer& installer = world.vscodeExtension();
};

TEST_F(VSCodeExtensionInstallerTest, OnlyExistingEditorsGetAWholeCopyAndOlderVersionsGo) {
  EXPECT_FALSE(installer.install());  // no editor: nothing is written
  EXPECT_FALSE(fs::exists(world.home.path() / ".vscode"));

  fs::create_directories(cursor() / "velvix.velvix-1.0.0" / "old");
  fs::create_directories(cursor() / "someone.else-2.0.0");
  EXPECT_TRUE(installer.install());
  EXPECT_TRUE(installer.isInstalled());
  EXPECT_EQ(installer.targets(), std::vector<fs::path>{cursor()});
  EXPECT_EQ(contents(installed()), contents(carried()));
  EXPECT_EQ(names(cursor()), (std::vector<std::string>{"someone.else-2.0.0", Installer::kFolderName}));
  EXPECT_EQ(world.debugLines().back(), "vscode extension installed at " + installed().string());

  installer.uninstall();
  EXPECT_FALSE(installer.isInstalled());
  EXPECT_EQ(names(cursor()), std::vector<std::string>{"someone.else-2.0.0"});
}

TEST_F(VSCodeExtensionInstallerTest, AFailedCopyLeavesTheEarlierCopyInPlace) {
  fs::create_directories(cursor());
  ASSERT_TRUE(installer.install());
  const auto before = contents(installed());
  writeFile(carried() / "out" / "extension.js", "exports.activate = () => { /* newer */ };");
  {
    test::LockedFolder locked(cursor());
    if (!locked.ok()) GTEST_SKIP() << "this file system cannot lock a folder";
    EXPECT_FALSE(installer.install());
  }
  EXPECT_EQ(contents(installed()), before);
  EXPECT_EQ(names(cursor()), std::vector<std::string>{Installer::kFolderName});
  EXPECT_TRUE(world.debugLines().back().starts_with("vscode extension install failed at " +
                                                    installed().string() + ": "));
  ASSERT_TRUE(installer.install());  // later, the newer copy replaces it whole
  EXPECT_EQ(contents(installed()), contents(carried()));
  EXPECT_EQ(names(cursor()), std::vector<std::string>{Installer::kFolderName});
}

TEST_F(VSCodeExtensionInstallerTest, SettingsWritesCopyAgainOnlyWhenTheSwitchOrTheCopyNeedsIt) {
  fs::create_directories(cursor());
  Preferences& p = world.preferences();
  installer.reconcileAtLaunch();
  EXPECT_FALSE(installer.isInstalled());  // off until switched on

  p.vscodeTabsEnabled.set(true);
  ASSERT_TRUE(installer.isInstalled());
  const auto inode = test::inodeOf(installed() / "package.json");
  p.excludedBundleIDs.set({"com.example.a"});  // the exclusion field, one keystroke
  p.excludedBundleIDs.set({"com.example.ab"});
  EXPECT_EQ(test::inodeOf(installed() / "package.json"), inode);

  writeFile(installed() / "package.json", "{}");  // out of date
  p.excludedBundleIDs.set({});
  EXPECT_EQ(contents(installed()), contents(carried()));
  fs::remove_all(installed());  // missing
  p.showThumbnails.set(false);
  EXPECT_EQ(contents(installed()), contents(carried()));

  p.vscodeTabsEnabled.set(false);
  EXPECT_FALSE(fs::exists(installed()));
}

}  // namespace
}  // namespace velvix
