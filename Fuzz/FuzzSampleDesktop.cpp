// The sample desktop file: a document is either loaded whole or refused with nothing added.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"

using namespace velvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  const auto displays = desktop.displays().size();
  if (sim::SampleDesktop::load(desktop, std::string(reinterpret_cast<const char*>(data), size))) {
    if (!desktop.apps().empty() || desktop.displays().size() != displays) std::abort();
  }
  loop.runUntilIdle();
  return 0;
}
