#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Bridge/ExtensionReport.hpp"

namespace velvix {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

ExtensionReport parsed(std::string_view line) {
  auto report = ExtensionReport::parse(line);
  EXPECT_TRUE(report) << line;
  return report.value_or(ExtensionReport{});
}

TEST(ExtensionReport, AHelloWithBrowserAndEventIsACompleteReport) {
  auto report = parsed(R"({"browser":"chrome","event":"hello"})");
  EXPECT_EQ(report.browser, Browser::chrome);
  EXPECT_EQ(report.event, ReportEvent::hello);
  EXPECT_EQ(report.session, std::nullopt);

  report = parsed(R"({"event":"hello","browser":"void","session":"5f1c9a7e-aaaa","extra":[1,2]})");
  EXPECT_EQ(report.browser, Browser::void_);
  EXPECT_EQ(report.session, "5f1c9a7e-aaaa");
}

TEST(ExtensionReport, TextWithoutAReadableEnvelopeIsNoReport) {
  const std::vector<std::string> bad = {
      "",
      "not json",
      R"({"browser":"chrome","event":"hello")",            // cut short
      R"({"browser":"chrome","event":"hello"} trailing)",  // more after the object
      R"(["browser","chrome"])",                           // not an object
      R"("chrome")",
      R"({"event":"hello"})",                      // no browser
      R"({"browser":7,"event":"hello"})",          // browser of the wrong type
      R"({"browser":"firefox","event":"hello"})",  // not a listed browser
      R"({"browser":"Chrome","event":"hello"})",   // names are case-sensitive
      R"({"browser":"chrome"})",                   // no event
      R"({"browser":"chrome","event":null})",      // event of the wrong type
      "{\"browser\":\"chrome\",\"event\":\"hello\",\"title\":\"bad \xC3\x28 byte\"}",  // not UTF-8
      "{\"browser\":\"chrome\",\"event\":\"hello\"}\xFF",
      R"({"browser":"chrome","event":"hello","title":"\x41"})",  // not a JSON escape
  };
  for (const auto& line : bad) EXPECT_FALSE(ExtensionReport::parse(line)) << line;
}

TEST(ExtensionReport, NestingDeeperThanAnyReportNeedsIsRefused) {
  auto nested = [](int depth) {
    return R"({"browser":"chrome","event":"sync","windows":[],"extra":)" + std::string(depth - 1, '[') +
           std::string(depth - 1, ']') + "}";
  };
  EXPECT_TRUE(ExtensionReport::parse(nested(64)));
  EXPECT_FALSE(ExtensionReport::parse(nested(65)));
  // Brackets inside a text are only text.
  EXPECT_TRUE(ExtensionReport::parse(R"({"browser":"chrome","event":"hello","title":")" +
                                     std::string(1000, '[') + R"("})"));
  // A line of the largest size the socket lets through, all brackets.
  EXPECT_FALSE(ExtensionReport::parse(std::string(2'000'000, '[') + std::string(2'000'000, ']')));
}

TEST(ExtensionReport, ASessionThatIsNotTextCountsAsAbsent) {
  EXPECT_EQ(parsed(R"({"browser":"edge","event":"hello","session":42})").session, std::nullopt);
  EXPECT_EQ(ExtensionReport::sessionOf(R"({"session":"abc"})"), "abc");  // no envelope needed
  EXPECT_EQ(ExtensionReport::sessionOf(R"({"session":["abc"]})"), std::nullopt);
  EXPECT_EQ(ExtensionReport::sessionOf("garbage"), std::nullopt);
}

TEST(ExtensionReport, ASyncKeepsTheReadableWindowsAndTabsInOrder) {
  auto report = parsed(R"({"browser":"brave","event":"sync","session":"s1","windows":[
      {"windowId":7,"focused":true,"tabs":[
        {"tabId":1,"windowId":7,"index":0,"title":"One","url":"https://one.example/","active":true},
        {"tabId":"2","windowId":7},
        {"tabId":3,"windowId":7,"index":1,"favIconUrl":"https://three.example/i.png","isPrivate":true}]},
      {"focused":true,"tabs":[{"tabId":4,"windowId":8}]},
      {"windowId":9.0},
      "not a window",
      {"windowId":10,"focused":"yes","tabs":{"tabId":5}}]})");
  EXPECT_EQ(report.event, ReportEvent::sync);
  ASSERT_TRUE(report.windows);
  ASSERT_EQ(report.windows->size(), 3u);
  const SyncedWindow& first = (*report.windows)[0];
  EXPECT_EQ(first.windowID, 7);
  EXPECT_TRUE(first.focused);
  ASSERT_EQ(first.tabs.size(), 2u);
  EXPECT_EQ(first.tabs[0].title, "One");
  EXPECT_TRUE(first.tabs[0].active);
  EXPECT_EQ(first.tabs[1].tabID, 3);
  EXPECT_EQ(first.tabs[1].favIconURL, "https://three.example/i.png");
  EXPECT_TRUE(first.tabs[1].isPrivate);
  EXPECT_EQ((*report.windows)[1], (SyncedWindow{.windowID = 9}));
  EXPECT_EQ((*report.windows)[2], (SyncedWindow{.windowID = 10}));

  EXPECT_EQ(parsed(R"({"browser":"brave","event":"sync","windows":[]})").windows,
            std::vector<SyncedWindow>{});
  EXPECT_EQ(parsed(R"({"browser":"brave","event":"sync","windows":{}})").windows, std::nullopt);
  EXPECT_EQ(parsed(R"({"browser":"brave","event":"sync"})").windows, std::nullopt);
}

TEST(ExtensionReport, TabEventsCarryTheirTabWhenItCanBeRead) {
  auto activated =
      parsed(R"({"browser":"chrome","event":"activated","tab":{"tabId":5,"windowId":2,"index":3}})");
  ASSERT_TRUE(activated.tab);
  EXPECT_EQ(activated.tab->tabIndex, 3);
  EXPECT_TRUE(activated.windowFocused);
  EXPECT_TRUE(
      parsed(R"({"browser":"chrome","event":"activated","windowFocused":"no","tab":{}})").windowFocused);
  EXPECT_FALSE(parsed(R"({"browser":"chrome","event":"activated","windowFocused":false})").windowFocused);

  // A missing or unreadable value leaves a report that still counts.
  EXPECT_EQ(parsed(R"({"browser":"chrome","event":"updated","tab":{"tabId":5}})").tab, std::nullopt);
  EXPECT_EQ(parsed(R"({"browser":"chrome","event":"removed","tabId":"5"})").tabID, std::nullopt);
  EXPECT_EQ(parsed(R"({"browser":"chrome","event":"removed","tabId":5})").tabID, 5);

  auto replaced =
      parsed(R"({"browser":"arc","event":"replaced","replacedTabId":4,"tab":{"tabId":6,"windowId":1}})");
  EXPECT_EQ(replaced.replacedTabID, 4);
  ASSERT_TRUE(replaced.tab);
  EXPECT_EQ(replaced.tab->tabID, 6);
  EXPECT_EQ(parsed(R"({"browser":"arc","event":"replaced","tab":{"tabId":6,"windowId":1}})").replacedTabID,
            std::nullopt);
}

TEST(ExtensionReport, ACommandResultFallsBackToItsDefaults) {
  auto result = parsed(R"({"browser":"safari","event":"cmdresult","ok":false})");
  EXPECT_EQ(result.event, ReportEvent::cmdresult);
  EXPECT_EQ(result.cmd, "?");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "-");
  EXPECT_FALSE(parsed(R"({"browser":"safari","event":"cmdresult","ok":1})").ok);  // only true is true
  result = parsed(R"({"browser":"safari","event":"cmdresult","cmd":"close","ok":true,"error":"gone"})");
  EXPECT_EQ(result.cmd, "close");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.error, "gone");
}

TEST(ExtensionReport, AnUnknownEventIsStillAReport) {
  auto report = parsed(R"({"browser":"kiro","event":"windowFocused","windowId":3})");
  EXPECT_EQ(report.event, ReportEvent::other);
  EXPECT_EQ(report.eventName, "windowFocused");
  EXPECT_EQ(parsed(R"({"browser":"kiro","event":"Hello"})").event, ReportEvent::other);
}

TEST(ExtensionReport, ABrokenCharacterInATitleIsReplacedInsteadOfLosingTheReport) {
  auto title = [](const std::string& escaped) {
    auto report =
        ExtensionReport::parse(R"({"browser":"chrome","event":"updated","tab":{"tabId":1,"windowId":1,)"
                               R"("title":")" +
                               escaped + R"("}})");
    return report && report->tab ? report->tab->title : std::string("<lost>");
  };
  EXPECT_EQ(title(R"(cut \ud83d)"), "cut " + kReplacement);
  EXPECT_EQ(title(R"(\uDC00 alone)"), kReplacement + " alone");
  EXPECT_EQ(title(R"(\ud800\ud800)"), kReplacement + kReplacement);
  EXPECT_EQ(title(R"(\ud800\u0041)"), kReplacement + "A");
  EXPECT_EQ(title(R"(whole \ud83d\ude00)"), "whole \xF0\x9F\x98\x80");
  EXPECT_EQ(title(R"(not an escape \\ud800)"), R"(not an escape \ud800)");
  EXPECT_EQ(title(R"(quote \" then \ud800)"), "quote \" then " + kReplacement);

  // The same holds in a key name and in the envelope.
  auto report = parsed(R"({"browser":"chrome","event":"hello","session":"s\udbff","\ud800":1})");
  EXPECT_EQ(report.session, "s" + kReplacement);
}

// Tab reports are read member by member, without a document: they must read exactly as the
// document says, whatever order, repetition or types the members come in.
TEST(ExtensionReport, ATabReportReadsAsItsDocumentSays) {
  const std::vector<std::string> lines = {
      R"({"browser":"chrome","event":"activated","session":"s","windowFocused":false,"tab":{"tabId":7,)"
      R"("windowId":2,"index":3,"title":"T \u00e9","url":"u","favIconUrl":"f","isPrivate":true,"active":true}})",
      R"({"tab":{"windowId":2,"tabId":7,"redacted":true,"extra":{"a":[1]}},"event":"updated","browser":"edge"})",
      R"({"browser":"chrome","event":"activated","tab":{"tabId":7,"windowId":2},"tab":5})",
      R"({"browser":"chrome","event":"activated","tab":[1],"tab":{"tabId":7,"windowId":2,"tabId":8}})",
      R"({"browser":"chrome","event":"activated","tab":{"tabId":"7","windowId":2}})",
      R"({"browser":"chrome","event":"activated","tab":{"tabId":7,"windowId":2,"index":-4,"title":null}})",
      R"({"browser":"chrome","event":"activated","windowFocused":"no","session":7,"tab":{}})",
      R"({"browser":"chrome","event":"activated","windowFocused":[true]})",
      R"({"browser":"chrome","event":"sync","event":"updated","tab":{"tabId":1,"windowId":1}})",
      R"({"browser":"brave","event":"updated","windows":[],"tab":{"tabId":1,"windowId":1}})",
      R"({"browser":"chrome","event":"updated","ok":true,"tabId":4})",
      R"({"browser":"chrome","browser":"firefox","event":"activated"})",
      R"({"event":"activated","tab":{"tabId":1,"windowId":1}})",
      R"({"browser":"chrome","event":"updated","event":"activated","session":"a","session":null})",
  };
  for (const auto& line : lines)
    EXPECT_EQ(ExtensionReport::parse(line), ExtensionReport::fromDocument(nlohmann::json::parse(line)))
        << line;
}

}  // namespace
}  // namespace velvix
