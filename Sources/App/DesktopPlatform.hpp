#pragma once
// Points the platform fields of a Services struct at the facades of a simulated desktop. The
// program and the tests connect their services to the desktop the same way.

namespace velvix {
struct Services;
namespace sim {
class SimDesktop;
}

void connectPlatform(Services& services, sim::SimDesktop& desktop);

}  // namespace velvix
