// The extension the application carries: a Manifest V3 extension whose fixed key gives it the id
// the host manifest allows, so the exported and loaded folder can reach the relay.

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QCryptographicHash>
#include <nlohmann/json.hpp>

#include "Platform/Linux/Files.hpp"
#include "Support/ChromeHostInstaller.hpp"

namespace velvix {
namespace {

const std::filesystem::path kExtension = std::filesystem::path(VELVIX_BINARY_DIR) / "ChromeExtension";

// A browser's id of an unpacked extension with a key: the first 16 bytes of the SHA-256 of the
// key's bytes, each half-byte written as a letter from 'a' to 'p'.
std::string extensionID(const std::string& base64Key) {
  const QByteArray key = QByteArray::fromBase64(QByteArray::fromStdString(base64Key));
  const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex();
  std::string id;
  for (int i = 0; i < 32; ++i) {
    const char c = digest[i];
    id += static_cast<char>('a' + (c <= '9' ? c - '0' : c - 'a' + 10));
  }
  return id;
}

TEST(ChromeExtensionResource, IsAManifestV3ExtensionWhoseKeyedIdTheHostManifestAllows) {
  const auto text = files::readAll(kExtension / "manifest.json");
  ASSERT_TRUE(text);
  const auto manifest = nlohmann::json::parse(*text);
  EXPECT_EQ(manifest["manifest_version"], 3);
  const auto worker = manifest["background"]["service_worker"].get<std::string>();
  EXPECT_TRUE(std::filesystem::exists(kExtension / worker));
  const auto permissions = manifest["permissions"].get<std::vector<std::string>>();
  EXPECT_NE(std::find(permissions.begin(), permissions.end(), "nativeMessaging"), permissions.end());

  const auto ids = ChromeHostInstaller::allowedExtensionIDs();
  EXPECT_NE(std::find(ids.begin(), ids.end(), extensionID(manifest["key"].get<std::string>())), ids.end());
  EXPECT_NE(files::readAll(kExtension / worker)->find(ChromeHostInstaller::kHostName), std::string::npos);
}

}  // namespace
}  // namespace velvix
