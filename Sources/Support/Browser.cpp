#include "Support/Browser.hpp"

namespace velvix::browsers {
namespace {

struct Row {
  Browser browser;
  std::string_view raw;
  BrowserInfo info;
};

constexpr std::array<Row, kCount> kTable{{
    {Browser::chrome, "chrome", {"com.google.Chrome", "Google Chrome", "Google/Chrome"}},
    {Browser::safari, "safari", {"com.apple.Safari", "Safari", std::nullopt}},
    {Browser::terminal, "terminal", {"com.apple.Terminal", "Terminal", std::nullopt}},
    {Browser::brave, "brave", {"com.brave.Browser", "Brave Browser", "BraveSoftware/Brave-Browser"}},
    {Browser::edge, "edge", {"com.microsoft.edgemac", "Microsoft Edge", "Microsoft Edge"}},
    {Browser::chromium, "chromium", {"org.chromium.Chromium", "Chromium", "Chromium"}},
    {Browser::chromeBeta,
     "chromeBeta",
     {"com.google.Chrome.beta", "Google Chrome Beta", "Google/Chrome Beta"}},
    {Browser::chromeDev, "chromeDev", {"com.google.Chrome.dev", "Google Chrome Dev", "Google/Chrome Dev"}},
    {Browser::chromeCanary,
     "chromeCanary",
     {"com.google.Chrome.canary", "Google Chrome Canary", "Google/Chrome Canary"}},
    {Browser::braveBeta,
     "braveBeta",
     {"com.brave.Browser.beta", "Brave Browser Beta", "BraveSoftware/Brave-Browser-Beta"}},
    {Browser::braveNightly,
     "braveNightly",
     {"com.brave.Browser.nightly", "Brave Browser Nightly", "BraveSoftware/Brave-Browser-Nightly"}},
    {Browser::edgeBeta,
     "edgeBeta",
     {"com.microsoft.edgemac.Beta", "Microsoft Edge Beta", "Microsoft Edge Beta"}},
    {Browser::edgeDev, "edgeDev", {"com.microsoft.edgemac.Dev", "Microsoft Edge Dev", "Microsoft Edge Dev"}},
    {Browser::edgeCanary,
     "edgeCanary",
     {"com.microsoft.edgemac.Canary", "Microsoft Edge Canary", "Microsoft Edge Canary"}},
    {Browser::vivaldi, "vivaldi", {"com.vivaldi.Vivaldi", "Vivaldi", "Vivaldi"}},
    {Browser::opera, "opera", {"com.operasoftware.Opera", "Opera", "com.operasoftware.Opera"}},
    {Browser::operaGX, "operaGX", {"com.operasoftware.OperaGX", "Opera GX", "com.operasoftware.OperaGX"}},
    {Browser::arc, "arc", {"company.thebrowser.Browser", "Arc", "Arc/User Data"}},
    {Browser::vscode, "vscode", {"com.microsoft.VSCode", "Visual Studio Code", std::nullopt}},
    {Browser::vscodeInsiders,
     "vscodeInsiders",
     {"com.microsoft.VSCodeInsiders", "Visual Studio Code - Insiders", std::nullopt}},
    {Browser::vscodium, "vscodium", {"com.vscodium", "VSCodium", std::nullopt}},
    {Browser::cursor, "cursor", {"com.todesktop.230313mzl4w4u92", "Cursor", std::nullopt}},
    {Browser::windsurf, "windsurf", {"com.exafunction.windsurf", "Windsurf", std::nullopt}},
    {Browser::kiro, "kiro", {"dev.kiro.desktop", "Kiro", std::nullopt}},
    {Browser::trae, "trae", {"com.trae.app", "Trae", std::nullopt}},
    {Browser::traeCN, "traeCN", {"cn.trae.app", "Trae CN", std::nullopt}},
    {Browser::void_, "void", {"com.void", "Void", std::nullopt}},
    {Browser::positron, "positron", {"co.posit.positron", "Positron", std::nullopt}},
}};

constexpr const Row& row(Browser browser) {
  return kTable[static_cast<std::size_t>(browser)];
}

}  // namespace

const std::array<Browser, kCount>& all() {
  static const std::array<Browser, kCount> cases = [] {
    std::array<Browser, kCount> result{};
    for (std::size_t i = 0; i < kCount; ++i) result[i] = kTable[i].browser;
    return result;
  }();
  return cases;
}

std::string_view rawValue(Browser browser) {
  return row(browser).raw;
}

std::optional<Browser> fromRawValue(std::string_view text) {
  for (const Row& r : kTable)
    if (r.raw == text) return r.browser;
  return std::nullopt;
}

std::optional<Browser> fromBundleID(std::string_view bundleID) {
  for (const Row& r : kTable)
    if (r.info.bundleID == bundleID) return r.browser;
  return std::nullopt;
}

const BrowserInfo& info(Browser browser) {
  return row(browser).info;
}

bool isEditor(Browser browser) {
  return static_cast<int>(browser) >= static_cast<int>(Browser::vscode);
}

bool isChromiumFamily(Browser browser) {
  return browser != Browser::safari && browser != Browser::terminal && !isEditor(browser) &&
         dataDir(browser).has_value();
}

}  // namespace velvix::browsers

namespace velvix::browsers {
namespace {
// The table is indexed by the case's value: keep its rows in declared order.
constexpr bool tableInDeclaredOrder() {
  for (std::size_t i = 0; i < kCount; ++i)
    if (static_cast<std::size_t>(kTable[i].browser) != i) return false;
  return true;
}
static_assert(tableInDeclaredOrder());
}  // namespace
}  // namespace velvix::browsers
