#pragma once
// User defaults persisted as one JSON file (created with mode 0600), rewritten atomically after
// every change. The file is written by a thread of its own, outside the store's lock: readers never
// wait for the disk, changes made while a write is under way are gathered into the next one, and
// the last change always ends on disk as a whole document. A settings file that is a symbolic link
// is written where it points. A file the user made read-only is never replaced: changes then stay
// in memory for the run, and are saved once it is writable again. When another program wrote the
// file since it was last read, only what changed here is applied onto its new text, so nothing the
// other program wrote is lost; a file that keeps changing, or no longer holds a JSON object, is
// left as it is. A file that cannot be parsed (or nests deeper than any settings need) is
// moved aside under a name no earlier one holds, never overwritten; one that exists but cannot be
// read is left alone for the whole run. Either way nothing the user had is lost.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "Platform/MemoryDefaults.hpp"

namespace velvix::platform {

class JsonFileDefaults final : public platform::MemoryDefaults {
 public:
  // `onProblem` receives one line for each file problem (unreadable file, failed write); failed
  // writes are reported from the writing thread.
  // `afterRead`, when given, runs on the writing thread each time the file has been read for a
  // write and before the new text is renamed in: where a test plays another writer.
  JsonFileDefaults(std::filesystem::path file, std::function<void(const std::string&)> onProblem = {},
                   std::function<void(const std::filesystem::path&)> afterRead = {});
  // Waits for the last change to be written.
  ~JsonFileDefaults() override;

  const std::filesystem::path& file() const { return file_; }
  // Deeper documents are refused as damaged: copying or writing them would exhaust the stack.
  static constexpr int kMaxNestingDepth = 64;
  static constexpr double kFlushDeadline = 10.0;

  // Waits, at most kFlushDeadline seconds, until every change made so far is on disk; false when
  // the deadline passed first.
  bool flush();

 protected:
  void userValuesChanged(const std::map<std::string, Value>& values) override;

 private:
  struct Loaded {
    Value values;
    bool fileUnreadable = false;
  };
  JsonFileDefaults(Loaded loaded, std::filesystem::path file,
                   std::function<void(const std::string&)> onProblem,
                   std::function<void(const std::filesystem::path&)> afterRead);
  static Loaded load(const std::filesystem::path& file,
                     const std::function<void(const std::string&)>& onProblem);
  void report(const std::string& line) const;
  void writeLoop();
  void write(const std::map<std::string, Value>& values);

  std::filesystem::path file_;
  std::function<void(const std::string&)> onProblem_;
  std::function<void(const std::filesystem::path&)> afterRead_;
  // The file exists but could not be read at start: changes stay in memory so it is never replaced.
  const bool fileUnreadable_;
  bool reportedUnsaved_ = false;

  // Handed from the store (under its lock) to the writer: the newest contents not yet written.
  std::mutex writeMutex_;
  std::condition_variable wakeWriter_;
  std::condition_variable written_;
  std::optional<std::map<std::string, Value>> pending_;
  std::uint64_t handedOver_ = 0;
  std::uint64_t writtenUpTo_ = 0;
  bool stopping_ = false;
  // The writer's own: the store's contents as of the last save (what a write applies onto a file
  // another program changed is the difference from these), and whether the user was told that
  // the file is read-only.
  std::map<std::string, Value> saved_;
  bool reportedReadOnly_ = false;
  std::thread writer_;
};

}  // namespace velvix::platform
