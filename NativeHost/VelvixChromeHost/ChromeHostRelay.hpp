#pragma once
// The relay between a browser's native-messaging pipe and the application's socket. Each browser
// frame becomes one line on the socket; each non-blank line from the socket becomes one frame to
// the browser. It looks into no message. Either direction ending ends the whole program.

#include <optional>
#include <string>

namespace velvix::relay {

// A stream socket connected to `socketPath`, or nothing (the failed attempt's descriptor closed).
std::optional<int> connectToHost(const std::string& socketPath);
// Browser to application: frames from standard input, lines to the socket. Never returns.
[[noreturn]] void pumpChromeToHost(int socket);
// Application to browser: lines from the socket, frames to standard output. Never returns.
[[noreturn]] void pumpHostToChrome(int socket);

// The two read loops themselves, between any two descriptors. Each returns when its input ends
// (an unfinished last frame or line is dropped), a frame is too large, or its output fails.
void copyFramesToLines(int frames, int lines);
void copyLinesToFrames(int lines, int frames);

}  // namespace velvix::relay
