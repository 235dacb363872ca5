#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "Platform/Linux/FileBundleReader.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

using platform::FileBundleReader;

class FileBundleReaderTest : public ::testing::Test {
 protected:
  std::filesystem::path bundleWithInfo(const std::string& name, const std::string& info) {
    const auto bundle = folder.path() / (name + ".app");
    std::filesystem::create_directories(bundle / "Contents");
    std::ofstream(bundle / "Contents" / "Info.plist", std::ios::binary) << info;
    return bundle;
  }

  test::TempFolder folder;
  FileBundleReader reader;
};

const char* kBrowserInfo = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<!-- written by the build -->
<dict>
	<key>CFBundleDocumentTypes</key>
	<array>
		<dict>
			<key>CFBundleIdentifier</key>
			<string>nested.value.is.not.the.bundle</string>
			<key>LSItemContentTypes</key>
			<array><string>public.html</string></array>
		</dict>
	</array>
	<key>CFBundleExecutable</key>
	<string>Brave Browser</string>
	<key>CFBundleIdentifier</key>
	<string>com.brave.Browser</string>
	<key>CFBundleIconFile</key>
	<string/>
	<key>LSHasLocalizedDisplayName</key>
	<true/>
	<key>CFBundleName</key>
	<string>Tom &amp; Jerry&#x2019;s <![CDATA[<Browser>]]></string>
	<key>LSMinimumSystemVersion</key>
	<integer>12</integer>
</dict>
</plist>
)";

TEST_F(FileBundleReaderTest, ReadsTheTopLevelStringsOfAnXmlInfoDictionary) {
  const auto bundle = bundleWithInfo("Brave Browser", kBrowserInfo);
  EXPECT_EQ(reader.bundleIdentifier(bundle), "com.brave.Browser");
  EXPECT_EQ(reader.infoString(bundle, "CFBundleExecutable"), "Brave Browser");
  EXPECT_EQ(reader.infoString(bundle, "CFBundleName"), "Tom & Jerry\xE2\x80\x99s <Browser>");
  EXPECT_EQ(reader.infoString(bundle, "CFBundleIconFile"), "");
  EXPECT_FALSE(reader.infoString(bundle, "LSMinimumSystemVersion"));  // not a string
  EXPECT_FALSE(reader.infoString(bundle, "LSItemContentTypes"));      // only nested
  EXPECT_FALSE(reader.infoString(bundle, "CFBundleIconName"));
}

TEST_F(FileBundleReaderTest, AnUnreadableInfoDictionaryYieldsNothing) {
  const std::string binary = std::string("bplist00\xD1\x01\x02", 11) + "CFBundleIdentifier";
  const std::string unknownEntity =
      "<plist><dict><key>CFBundleIdentifier</key><string>a&nbsp;b</string></dict></plist>";
  const std::string cutShort = "<plist><dict><key>CFBundleIdentifier</key><string>com.brave.Brow";
  const std::string notADictionary = "<plist><array><string>CFBundleIdentifier</string></array></plist>";
  for (const auto& info : {binary, unknownEntity, cutShort, notADictionary})
    EXPECT_FALSE(reader.bundleIdentifier(bundleWithInfo("Broken", info))) << info;
  EXPECT_FALSE(reader.bundleIdentifier(folder.path() / "Missing.app"));
  const auto huge =
      bundleWithInfo("Huge", std::string(FileBundleReader::kMaxInfoBytes + 1, ' ') + kBrowserInfo);
  EXPECT_FALSE(reader.bundleIdentifier(huge));
}

TEST_F(FileBundleReaderTest, ListsTheNamesInAFolderOfTheBundle) {
  const auto bundle = bundleWithInfo("Thorium", kBrowserInfo);
  std::filesystem::create_directories(bundle / "Contents" / "Frameworks" / "Thorium Framework.framework");
  std::ofstream(bundle / "Contents" / "Frameworks" / "libsomething.dylib") << "";
  EXPECT_EQ(reader.folderEntries(bundle, "Contents/Frameworks"),
            (std::vector<std::string>{"Thorium Framework.framework", "libsomething.dylib"}));
  EXPECT_FALSE(reader.folderEntries(bundle, "Contents/PlugIns"));
}

}  // namespace
}  // namespace velvix
