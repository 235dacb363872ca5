#pragma once
// Made-up browsers for tests of real processes: an application bundle whose executable is a copy
// of the shell, so that it can start the relay as its child the way a browser does, and the
// reading of the relay's native-messaging frames on the "browser" side.

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport/ChildProcess.hpp"

namespace velvix::test {

// "<folder>/<name>.app" with an information list naming `identifier` and the given framework
// folders; returns the path of its executable.
std::filesystem::path shellBundle(const std::filesystem::path& folder, const std::string& name,
                                  const std::string& identifier,
                                  const std::vector<std::string>& frameworks = {});

// The shell arguments that make the bundle's executable start `program` as its child.
std::vector<std::string> startingAsChild(const std::string& program);

// One frame from the relay's standard output, or "<no frame>".
std::string readFrame(ChildProcess& relay);

}  // namespace velvix::test
