#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include "Platform/Linux/Files.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using Manifest = ChromeHostInstaller::HostFolder::Manifest;

const std::string kRelayBytes = "#!/bin/sh\n# the relay the application carries\nexec cat\n";

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

struct stat statOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info;
}

// Everything below `folder`, with its bytes: what an install leaves on disk.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    files[fs::relative(entry.path(), folder).string()] =
        entry.is_regular_file() ? files::readAll(entry.path()).value_or("?") : "<folder>";
  return files;
}

class ChromeHostInstallerTest : public ::testing::Test {
 protected:
  ChromeHostInstallerTest() {
    world.defaults.set("debugLogging", true);
    writeFile(world.resourceFolder.path() / "velvix_chrome_host", kRelayBytes);
    installBrowser("com.google.Chrome", "Google Chrome");
    installBrowser("com.brave.Browser", "Brave Browser");
  }
  void installBrowser(const std::string& bundleID, const std::string& name) {
    world.desktop.install({.bundleID = bundleID, .name = name, .path = "/Applications/" + name + ".app"});
  }
  fs::path support() const { return world.home.path() / "Library" / "Application Support"; }
  fs::path manifestOf(const std::string& dataDir) const {
    return support() / dataDir / "NativeMessagingHosts" / "com.kolvi.velvix.json";
  }
  // A browser profile root: "Local State" and a profile folder with one of its marker files.
  void makeProfileRoot(const fs::path& root, const std::string& profile = "Default") {
    writeFile(root / "Local State", "{}");
    writeFile(root / profile / "Preferences", "{}");
  }
  std::vector<fs::path> hostFolders() {
    std::vector<fs::path> folders;
    for (const auto& host : installer.hostFolders()) folders.push_back(host.folder);
    return folders;
  }

  test::TestWorld world;
  ChromeHostInstaller& installer = world.hostInstaller();
};

TEST_F(ChromeHostInstallerTest, InstalledBrowsersGetAManifestNamingTheRelayCopy) {
  fs::create_directories(support() / "Microsoft Edge");  // data left behind; Edge is not installed
  world.quarantine.mark(installer.relayCopyPath());
  EXPECT_EQ(installer.install(), std::nullopt);

  const fs::path relay = installer.relayCopyPath();
  EXPECT_EQ(files::readAll(relay), kRelayBytes);
  EXPECT_EQ(statOf(relay).st_mode & 07777, 0755u);
  EXPECT_FALSE(world.quarantine.isMarked(relay));
  EXPECT_EQ(statOf(relay.parent_path()).st_mode & 07777, 0700u);

  for (const std::string& dataDir :
       {std::string("Google/Chrome"), std::string("BraveSoftware/Brave-Browser")}) {
    const auto text = files::readAll(manifestOf(dataDir));
    ASSERT_TRUE(text) << dataDir;
    EXPECT_EQ(statOf(manifestOf(dataDir)).st_mode & 07777, 0644u);
    const auto manifest = nlohmann::json::parse(*text);
    EXPECT_EQ(manifest["path"], relay.string());
    EXPECT_EQ(manifest["name"], "com.kolvi.velvix");
    EXPECT_EQ(manifest["type"], "stdio");
    EXPECT_EQ(manifest["description"], "Velvix switcher bridge");
    EXPECT_EQ(manifest["allowed_origins"],
              nlohmann::json::array({"chrome-extension://pbkhcjlmfenaiodgpcalbhefjnkmoigd/",
                                     "chrome-extension://jjmneimnnbnklignogcfiiolfmmbijoa/"}));
    // Keys in sorted order, slashes as they are.
    EXPECT_LT(text->find("allowed_origins"), text->find("description"));
    EXPECT_LT(text->find("\"path\""), text->find("\"type\""));
    EXPECT_EQ(text->find("\\/"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(support() / "Microsoft Edge" / "NativeMessagingHosts"));
  EXPECT_TRUE(installer.status().isComplete());
}

TEST_F(ChromeHostInstallerTest, ProfileRootsUnderApplicationSupportAreFoundThreeLevelsDeepAndOnce) {
  makeProfileRoot(support() / "Google" / "Chrome");         // also the table's Chrome folder
  makeProfileRoot(support() / "Thorium", "Profile 2");      // a browser the table does not list
  makeProfileRoot(support() / "a" / "b" / "Deep");          // third level: found
  makeProfileRoot(support() / "a" / "b" / "c" / "Deeper");  // fourth level: not found
  makeProfileRoot(support() / "Thorium" / "Default" / "Nested");
  makeProfileRoot(support() / ".hidden" / "Browser");
  writeFile(support() / "NoProfile" / "Local State", "{}");
  writeFile(support() / "NoProfile" / "Default" / "Cookies", "");

  const fs::path hosts = "NativeMessagingHosts";
  EXPECT_EQ(hostFolders(),
            (std::vector<fs::path>{support() / "Google/Chrome" / hosts,
                                   support() / "BraveSoftware/Brave-Browser" / hosts,
                                   support() / "Thorium" / hosts, support() / "a/b/Deep" / hosts}));
  EXPECT_EQ(installer.install(), std::nullopt);
  EXPECT_TRUE(fs::exists(support() / "Thorium" / hosts / "com.kolvi.velvix.json"));
}

TEST_F(ChromeHostInstallerTest, ASecondRunRewritesNothingThatIsAlreadyRight) {
  ASSERT_EQ(installer.install(), std::nullopt);
  const auto relayBefore = statOf(installer.relayCopyPath());
  const auto manifestBefore = statOf(manifestOf("Google/Chrome"));
  const auto disk = snapshot(world.home.path());

  EXPECT_EQ(installer.install(), std::nullopt);
  EXPECT_EQ(statOf(installer.relayCopyPath()).st_ino, relayBefore.st_ino);
  EXPECT_EQ(statOf(manifestOf("Google/Chrome")).st_ino, manifestBefore.st_ino);
  EXPECT_EQ(snapshot(world.home.path()), disk);
}

TEST_F(ChromeHostInstallerTest, ADamagedManifestOrRelayIsRepaired) {
  ASSERT_EQ(installer.install(), std::nullopt);
  const auto good = files::readAll(manifestOf("Google/Chrome"));
  writeFile(manifestOf("Google/Chrome"), "{\"path\": \"/nowh");
  writeFile(installer.relayCopyPath(), kRelayBytes.substr(0, 10));
  ::chmod(manifestOf("BraveSoftware/Brave-Browser").c_str(), 0600);

  const auto damaged = installer.status();
  EXPECT_FALSE(damaged.relayInstalled);
  ASSERT_EQ(damaged.hosts.size(), 2u);
  EXPECT_EQ(damaged.hosts[0].manifest, Manifest::outdated);
  EXPECT_EQ(damaged.hosts[0].browser, Browser::chrome);

  EXPECT_EQ(installer.install(), std::nullopt);
  EXPECT_EQ(files::readAll(manifestOf("Google/Chrome")), good);
  EXPECT_EQ(files::readAll(installer.relayCopyPath()), kRelayBytes);
  EXPECT_EQ(statOf(manifestOf("BraveSoftware/Brave-Browser")).st_mode & 07777, 0644u);
  EXPECT_TRUE(installer.status().isComplete());
}

TEST_F(ChromeHostInstallerTest, WithoutARelayToCarryNothingIsInstalled) {
  fs::remove(world.resourceFolder.path() / "velvix_chrome_host");
  EXPECT_EQ(installer.install(), "Relay binary missing from app bundle.");
  EXPECT_FALSE(fs::exists(installer.relayCopyPath()));
  EXPECT_FALSE(fs::exists(manifestOf("Google/Chrome")));
  const auto status = installer.status();
  EXPECT_FALSE(status.relayCarried);
  EXPECT_EQ(status.lastError, "Relay binary missing from app bundle.");
  EXPECT_FALSE(status.isComplete());
}

TEST_F(ChromeHostInstallerTest, AFolderThatCannotBeWrittenStopsTheInstallAndSpoilsNothing) {
  ASSERT_EQ(installer.install(), std::nullopt);
  // Brave's manifest needs rewriting, but its place is taken by a folder.
  const fs::path braveManifest = manifestOf("BraveSoftware/Brave-Browser");
  fs::remove(braveManifest);
  fs::create_directories(braveManifest / "something");
  writeFile(world.resourceFolder.path() / "velvix_chrome_host", kRelayBytes + "# version 2\n");
  const auto chromeBefore = files::readAll(manifestOf("Google/Chrome"));

  const auto error = installer.install();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("failed: "), std::string::npos) << *error;
  EXPECT_NE(error->find(braveManifest.string()), std::string::npos) << *error;
  EXPECT_EQ(installer.status().lastError, error);
  // The relay is the new one, whole; Chrome's manifest, written before, is intact; no half file.
  EXPECT_EQ(files::readAll(installer.relayCopyPath()), kRelayBytes + "# version 2\n");
  EXPECT_EQ(files::readAll(manifestOf("Google/Chrome")), chromeBefore);
  for (const auto& entry : fs::directory_iterator(braveManifest.parent_path()))
    EXPECT_EQ(entry.path().filename(), "com.kolvi.velvix.json");

  // A host folder whose place is taken by a file: nothing is created through it.
  fs::remove_all(braveManifest.parent_path());
  writeFile(braveManifest.parent_path(), "not a folder");
  const auto blocked = installer.install();
  ASSERT_TRUE(blocked);
  EXPECT_NE(blocked->find("is not a folder"), std::string::npos) << *blocked;
  EXPECT_EQ(files::readAll(braveManifest.parent_path()), "not a folder");
  EXPECT_TRUE(world.debugLines().back().starts_with("chrome host install failed: "));
}

TEST_F(ChromeHostInstallerTest, ABrowserWhoseFolderCannotBeWrittenCostsTheOthersNothing) {
  // Chrome comes first; its host folder's place is taken by a file.
  const fs::path chromeHosts = manifestOf("Google/Chrome").parent_path();
  writeFile(chromeHosts, "not a folder");
  const auto error = installer.install();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(chromeHosts.string()), std::string::npos) << *error;
  EXPECT_TRUE(files::readAll(manifestOf("BraveSoftware/Brave-Browser")));
  EXPECT_EQ(files::readAll(chromeHosts), "not a folder");
}

TEST_F(ChromeHostInstallerTest, TheExtensionIsCopiedOutWholeOrNotAtAll) {
  std::string error;
  EXPECT_EQ(installer.exportExtension(&error), std::nullopt);  // the application carries none
  EXPECT_EQ(error, "");

  const fs::path carried = world.resourceFolder.path() / "ChromeExtension";
  writeFile(carried / "manifest.json", "{\"manifest_version\": 3}");
  writeFile(carried / "js" / "background.js", "// reports tabs");
  const auto exported = installer.exportExtension(&error);
  ASSERT_TRUE(exported);
  EXPECT_EQ(snapshot(*exported), snapshot(carried));

  fs::remove(carried / "js" / "background.js");  // a newer build without that file
  ASSERT_TRUE(installer.exportExtension(&error));
  EXPECT_EQ(snapshot(*exported), snapshot(carried));

  // While exports follow one another, the folder the browser loads is there at every moment, so
  // a process killed between two steps never leaves it missing.
  for (int i = 0; i < 20; ++i) writeFile(carried / "js" / ("part" + std::to_string(i) + ".js"), "//");
  std::atomic<bool> done{false};
  std::thread exporter([&] {
    for (int i = 0; i < 100; ++i) installer.exportExtension();
    done = true;
  });
  int missing = 0;
  while (!done)
    if (!fs::exists(*exported / "manifest.json")) ++missing;
  exporter.join();
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(snapshot(*exported), snapshot(carried));
  for (const char* leftover : {".ChromeExtension.new", ".ChromeExtension.old"})
    EXPECT_FALSE(fs::exists(exported->parent_path() / leftover)) << leftover;
}

}  // namespace
}  // namespace velvix
