// The script texts: libraries, trailers, the quoting of values written into them, and how a
// run's output is read.

#include <gtest/gtest.h>

#include <sstream>

#include "Bridge/AppleScriptLibrary.hpp"
#include "Bridge/AppleScriptOutput.hpp"
#include "Bridge/AppleScriptTrailers.hpp"
#include "Platform/Simulated/SimScriptReader.hpp"
#include "Platform/Simulated/SimScriptTexts.hpp"

namespace velvix {
namespace {

using platform::ScriptOutcome;
using Trailers = AppleScriptTrailers;

const std::vector<std::string> kHostileTitles = {
    "Say \"hi\"",
    "C:\\new\\table\\",
    "two\nlines\r\nand\u2028more",
    "\" & (do shell script \"touch /tmp/owned\") & \"",
    "ends with a backslash \\",
    "tab\there \x01\x7f",
    "Gr\u00fc\u00dfe \u2014 \u65e5\u672c\u8a9e \U0001F600",
    std::string("broken \xff\xfe utf-8"),
};

TEST(AppleScriptText, QuotedValuesNeverLeaveTheirLiteral) {
  EXPECT_EQ(Trailers::quoted("a \"b\" \\ c\nd"), "\"a \\\"b\\\" \\\\ cd\"");
  for (const auto& title : kHostileTitles) {
    const std::string literal = Trailers::quoted(title);
    std::size_t at = 0;
    auto read = sim::SimScriptReader::literal(literal, at);
    ASSERT_TRUE(read) << literal;
    EXPECT_EQ(at, literal.size()) << literal;  // the literal ends exactly where the quoting ends it
    EXPECT_EQ(read->find_first_of("\n\r\t\x01\x7f"), std::string::npos) << literal;
    EXPECT_EQ(literal.find('\n'), std::string::npos);
  }
  EXPECT_EQ(Trailers::quoted("Gr\u00fc\u00dfe \U0001F600"),
            "\"Gr\u00fc\u00dfe \U0001F600\"");  // non-ASCII kept
  EXPECT_EQ(Trailers::quoted("broken \xff"), "\"broken \uFFFD\"");
}

TEST(AppleScriptText, TrailersCarryTheirValuesAsLiterals) {
  EXPECT_EQ(Trailers::resolve("resolvetab", 3, "https://a/?q=\"x\"", "T\\", true),
            "return (resolvetab(\"3\", \"https://a/?q=\\\"x\\\"\", \"T\\\\\", true) as text)");
  EXPECT_EQ(Trailers::closeIdentified(12, -3), "return (closeidentified(12, -3) as text)");
  auto read = sim::SimScriptReader::read(
      Trailers::assemble(AppleScriptLibrary::forBrowser(Browser::brave), Trailers::closeIdentified(12, -3)));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->handler, "closeidentified");
  EXPECT_EQ(read->arguments, (std::vector<std::string>{"12", "-3"}));
  EXPECT_EQ(Trailers::windowTitlesLine({"Work", "Say \"hi\""}),
            "set axWindowTitles to {\"Work\", \"Say \\\"hi\\\"\"}");
  EXPECT_EQ(Trailers::windowTitlesLine({}), "set axWindowTitles to {}");
  EXPECT_EQ(Trailers::assemble("LIB", "return 1"), "LIB\nreturn 1\n");
  EXPECT_EQ(Trailers::assemble("SCRIPT", ""), "SCRIPT");
}

TEST(AppleScriptText, EveryChromiumBrowserIsAddressedByItsOwnName) {
  const std::string brave = AppleScriptLibrary::forBrowser(Browser::brave);
  EXPECT_EQ(brave.find("Google Chrome"), std::string::npos);
  const std::string& chrome = AppleScriptLibrary::chromiumSourceTemplate();
  auto count = [](const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  EXPECT_GT(count(chrome, "tell application \"Google Chrome\""), 5u);
  EXPECT_EQ(count(brave, "tell application \"Brave Browser\""),
            count(chrome, "tell application \"Google Chrome\""));
  EXPECT_EQ(AppleScriptLibrary::forBrowser(Browser::safari), AppleScriptLibrary::safari());
  EXPECT_EQ(AppleScriptLibrary::forBrowser(Browser::terminal), AppleScriptLibrary::terminal());
  for (const char* handler : {"on scopeprivate(", "on windowallowed(", "on fronttabs(", "on windownames(",
                              "on tryexact(", "on hostresolve(", "property axWindowTitles"})
    EXPECT_NE(AppleScriptLibrary::safari().find(handler), std::string::npos) << handler;
}

// The simulated interpreter knows each text by the fingerprint it had when SimTabScripts was
// written against it; a text edited since says here which fingerprint to renew, once SimTabScripts
// does what the new text says.
TEST(AppleScriptText, TheSimulationCarriesOutEveryScriptAsWritten) {
  using Texts = sim::SimScriptTexts;
  const std::pair<const char*, std::pair<std::string, std::uint64_t>> known[] = {
      {"kChromiumLibrary", {AppleScriptLibrary::chromiumFor(""), Texts::kChromiumLibrary}},
      {"kSafariLibrary", {AppleScriptLibrary::safari(), Texts::kSafariLibrary}},
      {"kTerminalLibrary", {AppleScriptLibrary::terminal(), Texts::kTerminalLibrary}},
      {"kSeeding", {Trailers::seeding(), Texts::kSeeding}},
      {"kCurrentTab", {Trailers::currentTab(), Texts::kCurrentTab}},
      {"kFrontTabs", {Trailers::frontTabs(), Texts::kFrontTabs}},
      {"kWindowNames", {Trailers::windowNames(), Texts::kWindowNames}},
      {"kLiveTabs", {Trailers::liveTabs("", false), Texts::kLiveTabs}},
      {"kLiveTabsOfTerminal", {Trailers::liveTabs("", true), Texts::kLiveTabsOfTerminal}},
  };
  for (const auto& [name, text] : known) {
    std::ostringstream renewed;
    renewed << "0x" << std::hex << Texts::fingerprint(text.first) << "ULL";
    EXPECT_EQ(Texts::fingerprint(text.first), text.second)
        << "SimScriptTexts::" << name << " no longer matches its text; it is now " << renewed.str();
  }

  using Library = sim::SimScriptRequest::Library;
  for (Browser browser : browsers::all()) {
    if (!browsers::isChromiumFamily(browser) && browser != Browser::safari && browser != Browser::terminal)
      continue;
    const std::string name(browsers::appleScriptName(browser));
    auto read = sim::SimScriptReader::read(
        Trailers::assemble(AppleScriptLibrary::forBrowser(browser), Trailers::seeding()));
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read->applicationName, name);
    EXPECT_EQ(read->library, browser == Browser::safari     ? Library::safari
                             : browser == Browser::terminal ? Library::terminal
                                                            : Library::chromium);
    read = sim::SimScriptReader::read(Trailers::liveTabs(name, browser == Browser::terminal));
    ASSERT_TRUE(read) << name;
    EXPECT_EQ(read->terminalKeys, browser == Browser::terminal);
  }

  // A library that says something else, even under one word, is not the one carried out.
  std::string edited = AppleScriptLibrary::forBrowser(Browser::brave);
  edited.replace(edited.find("considering case"), 11, "ignoring");
  EXPECT_FALSE(sim::SimScriptReader::read(Trailers::assemble(edited, Trailers::currentTab())));
}

TEST(AppleScriptText, OutputIsReadAsTrimmedNonEmptyLinesOnlyFromACleanRun) {
  ScriptOutcome clean;
  clean.output = "\n\n   one line \r\n";
  EXPECT_EQ(AppleScriptOutput::read(clean).lines, std::vector<std::string>{"one line"});
  clean.output = "";
  EXPECT_EQ(AppleScriptOutput::read(clean).lines, std::vector<std::string>{});  // empty, not nothing
  EXPECT_FALSE(AppleScriptOutput::read(clean).failure);

  ScriptOutcome failing;
  failing.status = 1;
  failing.errorOutput = "  execution error: Not authorized to send Apple events to Safari. (-1743)\n";
  auto reading = AppleScriptOutput::read(failing);
  EXPECT_FALSE(reading.lines);
  EXPECT_EQ(reading.failure,
            "osascript exit 1: execution error: Not authorized to send Apple events to Safari. (-1743)");

  failing.errorOutput = std::string(500, 'e');
  EXPECT_EQ(AppleScriptOutput::read(failing).failure, "osascript exit 1: " + std::string(300, 'e'));

  ScriptOutcome killed;
  killed.ending = ScriptOutcome::Ending::signaled;
  killed.status = 15;
  killed.output = "partial\n";
  EXPECT_EQ(AppleScriptOutput::read(killed).failure, "osascript killed by signal 15: ");
  EXPECT_FALSE(AppleScriptOutput::read(killed).lines);

  ScriptOutcome garbled;
  garbled.output = "\xff\xfe\n";
  EXPECT_FALSE(AppleScriptOutput::read(garbled).lines);
  EXPECT_EQ(AppleScriptOutput::read(garbled).failure, "osascript exit 0: answer is not UTF-8");
  ScriptOutcome cut;
  cut.output = "a\tb\n";
  cut.outputCut = true;
  EXPECT_FALSE(AppleScriptOutput::read(cut).lines);

  ScriptOutcome notLaunched;
  notLaunched.ending = ScriptOutcome::Ending::notLaunched;
  EXPECT_FALSE(AppleScriptOutput::read(notLaunched).lines);
  EXPECT_FALSE(AppleScriptOutput::read(notLaunched).failure);  // nothing is logged
}

}  // namespace
}  // namespace velvix
