#include "Platform/Simulated/SimAudioInput.hpp"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velvix::sim {

void SimAudioInput::setMute(bool value) {
  if (!present || !hasMute) return;
  muted = value;
  writeFile();
}

void SimAudioInput::setVolume(float value) {
  if (!canSetVolume()) return;
  level = value;
  writeFile();
}

std::optional<std::string> SimAudioInput::useStateFile(const std::string& path) {
  path_ = path;
  std::ifstream in(path);
  if (!in) return std::nullopt;  // a first run: the device as it comes
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text);
  int mutedField = -1;
  float levelField = -1;
  std::string rest;
  if (!(fields >> mutedField >> levelField) || (fields >> rest) || (mutedField != 0 && mutedField != 1) ||
      !std::isfinite(levelField) || levelField < 0.0f || levelField > 1.0f) {
    writeFile();  // replaced by the state the device starts with
    return "microphone state in " + path + " unreadable; the microphone starts unmuted";
  }
  muted = mutedField == 1;
  level = levelField;
  return std::nullopt;
}

void SimAudioInput::writeFile() const {
  if (path_.empty()) return;
  // A new file renamed over the old one: a run stopped half-way never leaves half a state.
  const std::string temporary = path_ + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    if (!out) return;
    out << (muted ? 1 : 0) << ' ' << level << '\n';
    if (!out.flush()) return;
  }
  std::rename(temporary.c_str(), path_.c_str());
}

}  // namespace velvix::sim
