#pragma once
// The system's symbolic hot keys on the simulated desktop. Their state can live in a small file
// outside the process (one byte per hot key, '1' enabled), as the real setting lives in the
// window server: a process killed by a signal must be able to switch them back on, and a test
// must be able to see that after the process is gone.

#include <map>
#include <mutex>
#include <string>

#include "Platform/SymbolicHotKeys.hpp"

namespace velvix::sim {

class SimSymbolicHotKeys final : public platform::SymbolicHotKeys {
 public:
  bool isEnabled(int hotKey) const override;
  int setEnabled(int hotKey, bool enabled) override;
  void (*signalSafeEnabler() const)() override;

  // Keeps the state in `path` from now on: the state a file already there holds, or the current
  // state, written at once, when there is none.
  void useStateFile(const std::string& path);
  // Failures that tests inject: the setter answers this error code.
  int failWith = 0;

  // Reads hot keys 1 and 2 from a state file, for tests that look from outside the process.
  static std::map<int, bool> readStateFile(const std::string& path);

 private:
  void writeFile() const;
  // The state is read from any thread (the health monitor's), changed on the main thread.
  mutable std::mutex mutex_;
  std::map<int, bool> enabled_{{1, true}, {2, true}};  // under mutex_
  std::string path_;
};

}  // namespace velvix::sim
