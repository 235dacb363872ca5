#pragma once
// The script texts the simulated interpreter carries out, known by their fingerprints. It cannot
// run a script, so it recognises each library and trailer this program sends by the text that
// SimTabScripts was written against. A text that changes no longer reads, and every test that
// sends it fails, until SimTabScripts does what the new text says and its fingerprint here is
// renewed (AppleScriptText.TheSimulationCarriesOutEveryScriptAsWritten prints the new one).

#include <cstdint>
#include <string_view>

namespace velvix::sim {

struct SimScriptTexts {
  // 64-bit FNV-1a: extend(fingerprint(a), c) is the fingerprint of a followed by c.
  static constexpr std::uint64_t kEmpty = 0xcbf29ce484222325ULL;
  static constexpr std::uint64_t extend(std::uint64_t fingerprint, char c) {
    return (fingerprint ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  }
  static constexpr std::uint64_t extend(std::uint64_t fingerprint, std::string_view text) {
    for (char c : text) fingerprint = extend(fingerprint, c);
    return fingerprint;
  }
  static constexpr std::uint64_t fingerprint(std::string_view text) { return extend(kEmpty, text); }

  // The Chromium library serves every browser of the family under the browser's own name, and
  // the live-tabs script every application, so they are known addressed to "": with each
  // `tell application "<name>"` of theirs read as `tell application ""`.
  static constexpr std::string_view kUnaddressedTell = "tell application \"\"";
  static constexpr std::uint64_t kChromiumLibrary = 0x4e72f664fb7a86c6ULL;
  static constexpr std::uint64_t kSafariLibrary = 0x788da989b503f74cULL;
  static constexpr std::uint64_t kTerminalLibrary = 0x59f778567f4405efULL;
  static constexpr std::uint64_t kSeeding = 0x3e973471b87fb4b9ULL;
  static constexpr std::uint64_t kCurrentTab = 0x9112094d581c278bULL;
  static constexpr std::uint64_t kFrontTabs = 0x1515d3c48caba3c7ULL;
  static constexpr std::uint64_t kWindowNames = 0x2a95465d3e75a57dULL;
  static constexpr std::uint64_t kLiveTabs = 0x17b029cb8a42bff1ULL;            // of tab addresses
  static constexpr std::uint64_t kLiveTabsOfTerminal = 0x3ec9afd5271db2ebULL;  // of ttys
};

}  // namespace velvix::sim
