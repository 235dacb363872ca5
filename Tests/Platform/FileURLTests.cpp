#include <gtest/gtest.h>

#include "Platform/FileURL.hpp"

namespace velvix::platform {
namespace {

TEST(FileURL, ReadsTheLocalPathOfFileURLs) {
  EXPECT_EQ(FileURL::path("file:///Applications/Mail.app/"), "/Applications/Mail.app");
  EXPECT_EQ(FileURL::path("FILE://localhost/Applications/Web%20Browser.app"),
            "/Applications/Web Browser.app");
  EXPECT_EQ(FileURL::path("file:///"), "/");
  for (const char* url : {"https://example.com/", "file://server/share", "file://", "file:///bad%2",
                          "file:///x%zz", "file:///nul%00", "mailto:me"})
    EXPECT_EQ(FileURL::path(url), std::nullopt) << url;
}

TEST(FileURL, PathsRoundTrip) {
  const std::string path = "/Applications/Caf\xC3\xA9 & Bar #1.app";
  const std::string url = FileURL::fromPath(path, true);
  EXPECT_TRUE(url.ends_with(".app/"));
  EXPECT_EQ(url.find(' '), std::string::npos);
  EXPECT_EQ(FileURL::path(url), path);
}

}  // namespace
}  // namespace velvix::platform
