#include <gtest/gtest.h>

#include "App/ProgramProcessTable.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "Platform/Simulated/SimProcessTable.hpp"
#include "Support/ProcessLineage.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using sim::SimBundleReader;
using sim::SimProcessTable;

const std::string kRelayPath = "/Users/me/Library/Application Support/Velvix/velvix_chrome_host";

// A made-up machine: a process table, bundles on disk and the running applications.
class ProcessLineageTest : public ::testing::Test {
 protected:
  ProcessLineageTest() { world.defaults.set("debugLogging", true); }

  // The walks over this machine's table (or the one a test puts in its place).
  std::optional<Browser> chromiumBrowser(platform::Pid relay) {
    return ProcessLineage::chromiumBrowser(*table, world.desktop.workspace(), bundles, world.log(), relay,
                                           {kRelayPath});
  }
  std::optional<Browser> editor(platform::Pid extensionHost) {
    return ProcessLineage::editor(*table, world.desktop.workspace(), bundles, extensionHost);
  }

  void addApp(const std::string& bundle, std::optional<std::string> identifier,
              std::vector<std::string> frameworks = {}) {
    SimBundleReader::Bundle contents;
    if (identifier) contents.info["CFBundleIdentifier"] = *identifier;
    contents.folders["Contents/Frameworks"] = std::move(frameworks);
    bundles.add(bundle, std::move(contents));
  }
  // A chain of processes: each one's parent is the next; the last one's parent is launchd.
  void addChain(const std::vector<std::pair<platform::Pid, std::string>>& chain) {
    for (std::size_t i = 0; i < chain.size(); ++i)
      processes.add(chain[i].first, {.parent = i + 1 < chain.size() ? chain[i + 1].first : 1,
                                     .executablePath = chain[i].second});
  }

  test::TestWorld world;
  SimProcessTable processes;
  SimBundleReader bundles;
  const platform::ProcessTable* table = &processes;
};

TEST_F(ProcessLineageTest, ARelayUnderABrowserHelperIsFoundThroughTheBundleAroundTheHelper) {
  addApp("/Applications/Brave Browser.app", "com.brave.Browser");
  addChain({{900, kRelayPath},
            {800,
             "/Applications/Brave Browser.app/Contents/Frameworks/Brave Browser Framework.framework/"
             "Versions/1/Helpers/chrome_crashpad_handler"}});
  EXPECT_EQ(chromiumBrowser(900), Browser::brave);
}

TEST_F(ProcessLineageTest, ARunningApplicationAmongTheAncestorsNamesTheBrowser) {
  world.desktop.launch({.bundleID = "com.microsoft.edgemac", .name = "Microsoft Edge", .pid = 700});
  addChain({{900, kRelayPath}, {700, "/nowhere/edge"}});
  EXPECT_EQ(chromiumBrowser(900), Browser::edge);

  // The same relay claiming an editor finds none: Edge is no editor.
  EXPECT_EQ(editor(900), std::nullopt);
}

TEST_F(ProcessLineageTest, BundlesAreKnownByIdentifierEvenWhenRenamedOrElseByTheirListedName) {
  addApp("/Applications/My Old Chrome.app", "com.google.Chrome");
  addChain({{900, kRelayPath}, {800, "/Applications/My Old Chrome.app/Contents/MacOS/Google Chrome"}});
  EXPECT_EQ(chromiumBrowser(900), Browser::chrome);

  addApp("/Applications/Vivaldi.app", "com.example.repackaged");
  addChain({{910, kRelayPath}, {810, "/Applications/Vivaldi.app/Contents/MacOS/Vivaldi"}});
  EXPECT_EQ(chromiumBrowser(910), Browser::vivaldi);

  // Safari is no Chromium browser, whatever its bundle says.
  addApp("/Applications/Safari.app", "com.apple.Safari");
  addChain({{920, kRelayPath}, {820, "/Applications/Safari.app/Contents/MacOS/Safari"}});
  EXPECT_EQ(chromiumBrowser(920), std::nullopt);
}

TEST_F(ProcessLineageTest, AnUnlistedChromiumBuiltBrowserIsRejectedWithAnExplanation) {
  addApp("/Applications/Thorium.app", "org.thorium.Thorium", {"Thorium Framework.framework", "libEGL.dylib"});
  addChain({{900, kRelayPath}, {800, "/Applications/Thorium.app/Contents/MacOS/Thorium"}});
  EXPECT_EQ(chromiumBrowser(900), std::nullopt);

  addApp("/Applications/Nameless.app", std::nullopt, {"Nameless Framework.framework"});
  addChain({{910, kRelayPath}, {810, "/Applications/Nameless.app/Contents/MacOS/Nameless"}});
  EXPECT_EQ(chromiumBrowser(910), std::nullopt);

  // An ordinary application is rejected without a word.
  addApp("/Applications/Notes.app", "com.example.notes", {"Sparkle.framework"});
  addChain({{920, kRelayPath}, {820, "/Applications/Notes.app/Contents/MacOS/Notes"}});
  EXPECT_EQ(chromiumBrowser(920), std::nullopt);

  EXPECT_EQ(world.debugLines(),
            (std::vector<std::string>{
                "ProcessLineage: relay ancestor Thorium.app (org.thorium.Thorium) looks Chromium but isn't a "
                "listed Browser; rejecting \u2014 add it to enable switching",
                "ProcessLineage: relay ancestor Nameless.app (?) looks Chromium but isn't a listed Browser; "
                "rejecting \u2014 add it to enable switching"}));
}

TEST_F(ProcessLineageTest, TheFirstProcessAndNoProcessAreRejectedAtOnce) {
  addApp("/Applications/Google Chrome.app", "com.google.Chrome");
  for (platform::Pid pid : {1, 0})
    processes.add(pid, {.parent = 0, .executablePath = "/Applications/Google Chrome.app/Contents/MacOS/x"});
  EXPECT_EQ(chromiumBrowser(1), std::nullopt);
  EXPECT_EQ(chromiumBrowser(0), std::nullopt);
  EXPECT_EQ(chromiumBrowser(-5), std::nullopt);
}

TEST_F(ProcessLineageTest, AnEditorIsFoundTenProcessesUpAndARelayOnlyAsItsBrowsersChild) {
  addApp("/Applications/Visual Studio Code.app", "com.microsoft.VSCode");
  addApp("/Applications/Arc.app", "company.thebrowser.Browser");
  // A host `depth` levels below its application.
  auto nested = [&](platform::Pid first, int depth, const std::string& app) {
    std::vector<std::pair<platform::Pid, std::string>> chain;
    for (int level = 0; level < depth; ++level) chain.push_back({first + level, "/usr/lib/helper"});
    chain.push_back({first + depth, app});
    addChain(chain);
    return first;
  };
  const std::string code = "/Applications/Visual Studio Code.app/Contents/MacOS/Electron";
  const std::string arc = "/Applications/Arc.app/Contents/MacOS/Arc";
  EXPECT_EQ(editor(nested(100, 9, code)), Browser::vscode);
  EXPECT_EQ(editor(nested(200, 10, code)), std::nullopt);

  addChain({{300, kRelayPath}, {301, arc}});
  EXPECT_EQ(chromiumBrowser(300), Browser::arc);
  // The relay started by a shell that the browser started; another program under the browser;
  // a process that became the browser's program after it connected.
  addChain({{400, kRelayPath}, {401, "/bin/sh"}, {402, arc}});
  addChain({{500, "/usr/lib/helper"}, {501, arc}});
  addChain({{600, arc}, {601, arc}});
  for (platform::Pid refused : {400, 500, 600}) EXPECT_EQ(chromiumBrowser(refused), std::nullopt) << refused;
}

TEST_F(ProcessLineageTest, AGapInTheAncestryEndsTheWalkAndALoopCannotHoldItUp) {
  addApp("/Applications/Cursor.app", "com.todesktop.230313mzl4w4u92");
  addChain({{500, "/usr/lib/host"},
            {501, "/usr/lib/helper"},
            {502, "/Applications/Cursor.app/Contents/MacOS/Cursor"}});
  processes.end(501);  // the middle process ended: its parent is no longer known
  EXPECT_EQ(editor(500), std::nullopt);

  processes.add(600, {.parent = 601, .executablePath = "/usr/lib/a"});
  processes.add(601, {.parent = 600, .executablePath = "/usr/lib/b"});
  EXPECT_EQ(editor(600), std::nullopt);
}

TEST(ProcessLineage, TheEnclosingApplicationIsTheNearestAppFolder) {
  EXPECT_EQ(
      ProcessLineage::enclosingApp("/Applications/Outer.app/Contents/Frameworks/Inner Helper.app/Contents/"
                                   "MacOS/Inner Helper"),
      "/Applications/Outer.app/Contents/Frameworks/Inner Helper.app");
  EXPECT_EQ(ProcessLineage::enclosingApp("/Applications/Single.app"), "/Applications/Single.app");
  EXPECT_EQ(ProcessLineage::enclosingApp("/usr/bin/env"), std::nullopt);
  EXPECT_EQ(ProcessLineage::enclosingApp("/opt/.app/bin/x"), std::nullopt);  // a hidden folder, not a bundle
  EXPECT_EQ(ProcessLineage::enclosingApp("/"), std::nullopt);
}

// The program's table: a made-up process that happens to have a real process's id (the
// simulated Chrome here) must not vouch for the real one, whose ancestry is the kernel's.
TEST_F(ProcessLineageTest, ARealPeerIsKnownOnlyThroughTheKernelWhateverItsProcessID) {
  addApp("/Applications/Google Chrome.app", "com.google.Chrome");
  test::ChildProcess stranger("/bin/sleep", {"30"});
  processes.add(stranger.pid(), {.parent = 800, .executablePath = kRelayPath});
  processes.add(
      800, {.parent = 1, .executablePath = "/Applications/Google Chrome.app/Contents/MacOS/Google Chrome"});
  ASSERT_EQ(chromiumBrowser(stranger.pid()),
            Browser::chrome);  // the scenarios' stand-in

  ProgramProcessTable program(processes);
  table = &program;
  EXPECT_EQ(chromiumBrowser(stranger.pid()), std::nullopt);
  EXPECT_EQ(editor(stranger.pid()), std::nullopt);
  // Its own made-up processes still answer for the desktop.
  EXPECT_EQ(program.executablePath(stranger.pid()), kRelayPath);
}

}  // namespace
}  // namespace velvix
