#include <gtest/gtest.h>

#include "Support/QuickJsonReader.hpp"

namespace velvix {
namespace {

using nlohmann::json;

// Equal values of the same types all the way down (json's == takes 5 and 5u as equal).
bool sameDocument(const json& a, const json& b) {
  if (a.type() != b.type() || a.size() != b.size()) return false;
  if (a.is_object()) {
    for (auto ia = a.begin(), ib = b.begin(); ia != a.end(); ++ia, ++ib)
      if (ia.key() != ib.key() || !sameDocument(*ia, *ib)) return false;
    return true;
  }
  if (a.is_array()) {
    for (std::size_t k = 0; k < a.size(); ++k)
      if (!sameDocument(a[k], b[k])) return false;
    return true;
  }
  return a == b;
}

TEST(QuickJsonReader, ReadsTheDocumentTheGeneralReaderReads) {
  const std::vector<std::string> lines = {
      R"({})",
      " \t{ \"a\" : [ ] , \"b\":{ } }\r\n",
      R"({"browser":"chrome","event":"activated","windowFocused":true,"tab":{"tabId":1843226711,)"
      R"("windowId":-2,"index":0,"title":"Review \u2014 \"quoted\" \\ \/ \b\f\n\r\t","favIconUrl":null}})",
      R"({"n":[0,-0,7,-7,999999999999999999,-999999999999999999],"t":[true,false,null]})",
      R"({"pair":"\ud83d\ude00 \uD83D\uDE00","nul":"a\u0000b","low":"\u00e9\u07ff\u0800\uffff"})",
      "{\"raw\":\"caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80\",\"\xC3\xA9\":1}",
      R"({"same":1,"other":2,"same":{"x":[1,{"y":"z"}]}})",  // the later value of a key counts
      R"({"deep":[[[[[[[[[[{"a":[[[]]]}]]]]]]]]]]})",
  };
  for (const auto& line : lines) {
    const auto quick = QuickJsonReader::readObject(line);
    ASSERT_TRUE(quick) << line;
    EXPECT_TRUE(sameDocument(*quick, json::parse(line))) << line << "\n" << quick->dump();
  }
}

TEST(QuickJsonReader, DeclinesWhatItDoesNotCoverAndAllBadText) {
  const std::vector<std::string> declined = {
      // Valid JSON, left to the general reader.
      R"({"f":1.5})",
      R"({"e":1e3})",
      R"({"big":1000000000000000000})",
      R"([1,2])",
      R"("text")",
      R"({"lone":"\ud83d"})",
      R"({"lone":"\ude00x"})",
      "\xEF\xBB\xBF{}",
      // Not JSON.
      "",
      "{",
      R"({"a":1,})",
      R"({"a":01})",
      R"({"a":-})",
      R"({"a":tru})",
      R"({"a":1} x)",
      R"({a:1})",
      R"({"a":"\x41"})",
      "{\"a\":\"tab\there\"}",
      "{\"a\":\"\xC3\x28\"}",
      "{\"a\":\"\xED\xA0\x80\"}",
      R"({"a":1}/*c*/)",
  };
  for (const auto& line : declined) EXPECT_FALSE(QuickJsonReader::readObject(line)) << line;

  const std::string deepest = R"({"a":)" + std::string(63, '[') + std::string(63, ']') + "}";
  EXPECT_TRUE(QuickJsonReader::readObject(deepest));
  EXPECT_FALSE(QuickJsonReader::readObject(R"({"a":[)" + deepest + "]}"));
}

}  // namespace
}  // namespace velvix
