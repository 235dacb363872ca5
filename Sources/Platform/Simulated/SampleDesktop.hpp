#pragma once
// The built-in sample desktop that the real program runs over: a handful of everyday
// applications, so that there is something to switch between.

namespace velvix::sim {

class SimDesktop;

namespace SampleDesktop {
void populate(SimDesktop& desktop);
}

}  // namespace velvix::sim
