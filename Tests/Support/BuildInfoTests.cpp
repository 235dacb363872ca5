#include <gtest/gtest.h>

#include "Platform/Simulated/SimCodeSigning.hpp"
#include "Support/BuildInfo.hpp"

namespace velvix {
namespace {

TEST(BuildInfo, OnlyADeveloperIDLeafCertificateCounts) {
  sim::SimCodeSigning signing;
  EXPECT_FALSE(BuildInfo(signing).isDeveloperIDSigned());  // unsigned
  signing.chain = std::vector<std::string>{};
  EXPECT_FALSE(BuildInfo(signing).isDeveloperIDSigned());  // empty chain
  signing.chain = {{"Apple Development: Jo (ABC)", "Apple Worldwide Developer Relations"}};
  EXPECT_FALSE(BuildInfo(signing).isDeveloperIDSigned());
  signing.chain = {{"Developer ID Application: Kolvi (K8R3W5N2QT)", "Developer ID Certification Authority"}};
  BuildInfo info(signing);
  EXPECT_TRUE(info.isDeveloperIDSigned());
  signing.chain.reset();
  EXPECT_TRUE(info.isDeveloperIDSigned());  // worked out once
}

}  // namespace
}  // namespace velvix
