#pragma once
// File URLs as the platform hands them out for bundles and folders ("file:///Applications/Mail.app/"):
// the path a URL names, and the URL of a path. Percent escapes are decoded and encoded; any
// other scheme, a remote host or a malformed escape names no path.

#include <optional>
#include <string>
#include <string_view>

namespace velvix::platform::FileURL {

// The local path of a "file:" URL, without a trailing slash (except for "/" itself); nothing for
// another scheme, a host other than "localhost", an empty path or a broken escape.
std::optional<std::string> path(std::string_view url);
// "file://" and the path with unsafe bytes escaped; a folder's URL ends with a slash.
std::string fromPath(std::string_view path, bool isFolder);

}  // namespace velvix::platform::FileURL
