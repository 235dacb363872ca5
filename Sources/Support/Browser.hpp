#pragma once
// The 28 applications whose tabs the system can track: Chromium-family browsers, Safari,
// Terminal (cases 0-17) and editors of the VS Code family (cases 18-27). The raw value of a case
// is its name, which is also the browser key in extension messages, item ids and log lines.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velvix {

enum class Browser {
  chrome,
  safari,
  terminal,
  brave,
  edge,
  chromium,
  chromeBeta,
  chromeDev,
  chromeCanary,
  braveBeta,
  braveNightly,
  edgeBeta,
  edgeDev,
  edgeCanary,
  vivaldi,
  opera,
  operaGX,
  arc,
  vscode,
  vscodeInsiders,
  vscodium,
  cursor,
  windsurf,
  kiro,
  trae,
  traeCN,
  void_,
  positron,
};

struct BrowserInfo {
  std::string_view bundleID;
  std::string_view appleScriptName;
  std::optional<std::string_view> dataDir;  // profile folder under "Library/Application Support"
};

namespace browsers {

inline constexpr std::size_t kCount = 28;
// Every case in declared order.
const std::array<Browser, kCount>& all();

std::string_view rawValue(Browser browser);
// Exact, case-sensitive match of the 28 case names.
std::optional<Browser> fromRawValue(std::string_view text);
// The first case, in declared order, whose bundle identifier equals the text exactly.
std::optional<Browser> fromBundleID(std::string_view bundleID);

const BrowserInfo& info(Browser browser);
inline std::string_view bundleID(Browser b) {
  return info(b).bundleID;
}
inline std::string_view appleScriptName(Browser b) {
  return info(b).appleScriptName;
}
inline std::optional<std::string_view> dataDir(Browser b) {
  return info(b).dataDir;
}

// Cases 18-27.
bool isEditor(Browser browser);
// A browser of the Chromium family: not Safari, Terminal or an editor, and with a profile folder.
bool isChromiumFamily(Browser browser);

}  // namespace browsers
}  // namespace velvix
