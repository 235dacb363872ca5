#include "TestSupport/FakeBrowser.hpp"

#include <fstream>

#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix::test {

std::filesystem::path shellBundle(const std::filesystem::path& folder, const std::string& name,
                                  const std::string& identifier, const std::vector<std::string>& frameworks) {
  const auto bundle = folder / (name + ".app");
  std::filesystem::create_directories(bundle / "Contents" / "MacOS");
  std::ofstream(bundle / "Contents" / "Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "\t<key>CFBundleIdentifier</key>\n\t<string>"
      << identifier << "</string>\n</dict>\n</plist>\n";
  for (const auto& framework : frameworks)
    std::filesystem::create_directories(bundle / "Contents" / "Frameworks" / framework);
  const auto executable = bundle / "Contents" / "MacOS" / name;
  std::filesystem::copy_file("/bin/dash", executable);
  std::filesystem::permissions(executable, std::filesystem::perms::owner_all);
  return executable;
}

std::vector<std::string> startingAsChild(const std::string& program) {
  return {"-c", "'" + program + "'; exit 0"};
}

std::string readFrame(ChildProcess& relay) {
  const std::string head = relay.read(nativeframing::kHeaderBytes);
  if (head.size() != nativeframing::kHeaderBytes) return "<no frame>";
  return relay.read(nativeframing::readHeader(head.data()));
}

}  // namespace velvix::test
