#pragma once
// The browser's native-messaging framing: each message is a 4-byte unsigned length in the
// machine's native byte order followed by that many payload bytes. The relay speaks it on its
// standard input and output; the helpers live here so tests and benchmarks use the very same code.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velvix::nativeframing {

inline constexpr std::size_t kHeaderBytes = 4;

void writeHeader(std::uint32_t length, char* out);
std::uint32_t readHeader(const char* in);
// Header and payload in one buffer, ready for a single write.
std::string frame(std::string_view payload);
// Makes a browser frame's payload one socket line, in place: a raw line feed can only be
// insignificant white space in a JSON text, so each becomes a space (one frame stays one line),
// and one line feed ends the line.
void makeSocketLine(std::string& payload);
// `bytes` without leading and trailing ASCII whitespace (space, tab, LF, CR, VT, FF).
std::string_view trimmed(std::string_view bytes);

}  // namespace velvix::nativeframing
