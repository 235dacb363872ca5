#include "Support/BuildInfo.hpp"

#include "Platform/CodeSigning.hpp"

namespace velvix {

bool BuildInfo::isDeveloperIDSigned() const {
  std::call_once(once_, [this] {
    auto chain = signing_.certificateSummaries();
    developerID_ = chain && !chain->empty() && chain->front().rfind("Developer ID Application", 0) == 0;
  });
  return developerID_;
}

}  // namespace velvix
