#include "Platform/Linux/JsonFileDefaults.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>

#include "Platform/JsonNesting.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/ThreadSignalStack.hpp"
#include "Platform/Linux/UserTextFile.hpp"

namespace velvix::platform {
namespace fs = std::filesystem;
namespace {

// Moves `from` to the first of "<from>.damaged", "<from>.damaged-2", ... that does not exist, so an
// earlier damaged file kept aside is never replaced; the name used, or nothing.
std::optional<fs::path> moveAside(const fs::path& from) {
  for (int n = 1; n < 1000; ++n) {
    fs::path aside = from;
    aside += n == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(n);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
    // A file system without the no-replace rename: look first.
    std::error_code error;
    if (fs::exists(aside, error) || error) continue;
    fs::rename(from, aside, error);
    return error ? std::nullopt : std::optional(aside);
  }
  return std::nullopt;
}

// The members of a settings document that did not parse as a whole, read one by one: a bad byte
// or an out-of-range number in one value costs that setting only, not every other the user set.
struct Salvaged {
  JsonFileDefaults::Value values = JsonFileDefaults::Value::object();
  std::vector<std::string> unreadable;  // the keys whose values could not be read
};

Salvaged salvageMembers(std::string_view text, std::size_t maxDepth) {
  using Value = JsonFileDefaults::Value;
  Salvaged out;
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  };
  // Past the string that opens at `from`, or npos when it never closes.
  auto stringEnd = [&](std::size_t from) {
    for (std::size_t k = from + 1; k < text.size(); ++k) {
      if (text[k] == '\\')
        ++k;
      else if (text[k] == '"')
        return k + 1;
    }
    return std::string_view::npos;
  };
  skipSpace();
  if (i >= text.size() || text[i] != '{') return out;
  ++i;
  // Reading stops where the structure itself is broken (a file cut short): what came before stays.
  for (;;) {
    skipSpace();
    if (i >= text.size() || text[i] != '"') return out;
    const std::size_t keyEnd = stringEnd(i);
    if (keyEnd == std::string_view::npos) return out;
    const std::string_view keyText = text.substr(i, keyEnd - i);
    i = keyEnd;
    skipSpace();
    if (i >= text.size() || text[i] != ':') return out;
    ++i;
    const std::size_t start = i;
    std::size_t depth = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (c == '"') {
        i = stringEnd(i);
        if (i == std::string_view::npos) return out;
        continue;
      }
      if (c == '{' || c == '[') {
        ++depth;
      } else if (c == '}' || c == ']') {
        if (depth == 0) break;
        --depth;
      } else if (c == ',' && depth == 0) {
        break;
      }
      ++i;
    }
    if (i >= text.size()) return out;
    const std::string_view valueText = text.substr(start, i - start);
    const Value key = Value::parse(keyText, nullptr, false);
    const Value value = jsonNestingDepth(valueText) >= maxDepth ? Value(Value::value_t::discarded)
                                                                : Value::parse(valueText, nullptr, false);
    if (key.is_string() && !value.is_discarded()) {
      out.values[key.get<std::string>()] = value;
    } else {
      // Named as the file spells it, with any byte that is not UTF-8 shown as a replacement mark.
      const std::string raw(keyText.substr(1, keyText.size() - 2));
      out.unreadable.push_back(key.is_string()
                                   ? key.get<std::string>()
                                   : Value(raw).dump(-1, ' ', false, Value::error_handler_t::replace));
    }
    if (text[i] != ',') return out;
    ++i;
  }
}

}  // namespace

JsonFileDefaults::JsonFileDefaults(std::filesystem::path file,
                                   std::function<void(const std::string&)> onProblem,
                                   std::function<void(const std::filesystem::path&)> afterRead)
    // copied, not moved: arguments are evaluated in no set order
    : JsonFileDefaults(load(file, onProblem), file, onProblem, std::move(afterRead)) {}

JsonFileDefaults::JsonFileDefaults(Loaded loaded, std::filesystem::path file,
                                   std::function<void(const std::string&)> onProblem,
                                   std::function<void(const std::filesystem::path&)> afterRead)
    : MemoryDefaults(std::move(loaded.values)),
      file_(std::move(file)),
      onProblem_(std::move(onProblem)),
      afterRead_(std::move(afterRead)),
      fileUnreadable_(loaded.fileUnreadable) {
  const Value loadedValues = userValues();
  for (const auto& [key, value] : loadedValues.items()) saved_[key] = value;
  if (!fileUnreadable_)
    writer_ = std::thread([this] {
      ThreadSignalStack::ensureForThisThread();
      writeLoop();
    });
}

JsonFileDefaults::~JsonFileDefaults() {
  {
    std::lock_guard lock(writeMutex_);
    stopping_ = true;
  }
  wakeWriter_.notify_one();
  if (writer_.joinable()) writer_.join();
}

void JsonFileDefaults::report(const std::string& line) const {
  if (onProblem_) onProblem_(line);
}

JsonFileDefaults::Loaded JsonFileDefaults::load(const std::filesystem::path& file,
                                                const std::function<void(const std::string&)>& onProblem) {
  auto report = [&](const std::string& line) {
    if (onProblem) onProblem(line);
  };
  // Only a file that is not there counts as empty. One that is there but cannot be read (another
  // owner, no permission, a folder in its place) still holds the user's settings.
  // A FIFO or a device in its place is never opened: reading it could wait for ever.
  std::error_code error;
  // What a write that was killed left beside the file goes at launch, before any new write.
  files::removeStaleTemporaries(UserTextFile::followLinks(file));
  auto read = files::readRegularFile(file);
  if (read.status == files::RegularFileRead::Status::missing) return {Value::object(), false};
  if (read.status != files::RegularFileRead::Status::read) {
    report("Settings file " + file.string() + " exists but cannot be read (it " + read.problem +
           "); running on the defaults and leaving the file as it is.");
    return {Value::object(), true};
  }
  const std::optional<std::string> text = std::move(read.bytes);
  // A document nested deeper than any settings are is refused unparsed, like a damaged one.
  Value parsed = jsonNestingDepth(*text) > kMaxNestingDepth ? Value() : Value::parse(*text, nullptr, false);
  if (parsed.is_object()) return {std::move(parsed), false};
  Salvaged salvaged = salvageMembers(*text, kMaxNestingDepth);
  // Keep the damaged file for the user instead of overwriting it with the next change; a linked
  // file is kept aside where it lives.
  const auto aside = moveAside(UserTextFile::followLinks(file));
  if (!aside) {
    report("Settings file " + file.string() + " is not a JSON object and could not be moved aside (" +
           files::errnoText("renaming") +
           "); running on the settings it could read and leaving the file as it is.");
    return {std::move(salvaged.values), true};
  }
  if (salvaged.values.empty() && salvaged.unreadable.empty()) {
    report("Settings file " + file.string() + " is not a JSON object (or nests deeper than " +
           std::to_string(kMaxNestingDepth) + " levels); moved it to " + aside->string() +
           " and started from defaults.");
    return {Value::object(), false};
  }
  report("Settings file " + file.string() + " could not be read as a whole; moved it to " + aside->string() +
         " and kept the " + std::to_string(salvaged.values.size()) + " settings that could be read.");
  for (const auto& key : salvaged.unreadable)
    report("Settings file " + file.string() + ": the value of \"" + key +
           "\" could not be read; that setting is back to its default.");
  return {std::move(salvaged.values), false};
}

void JsonFileDefaults::userValuesChanged(const std::map<std::string, Value>& values) {
  if (fileUnreadable_) {
    if (!reportedUnsaved_)
      report("Settings kept in memory only: " + file_.string() + " could not be read at launch.");
    reportedUnsaved_ = true;
    return;
  }
  {
    std::lock_guard lock(writeMutex_);
    pending_ = values;
    ++handedOver_;
  }
  wakeWriter_.notify_one();
}

void JsonFileDefaults::writeLoop() {
  std::unique_lock lock(writeMutex_);
  for (;;) {
    wakeWriter_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;  // stopping with everything written
    const auto values = std::move(*pending_);
    pending_.reset();
    const std::uint64_t generation = handedOver_;
    lock.unlock();
    write(values);
    lock.lock();
    writtenUpTo_ = generation;
    written_.notify_all();
  }
}

void JsonFileDefaults::write(const std::map<std::string, Value>& values) {
  using Change = UserTextFile::Change;
  using Kind = UserTextFile::Outcome::Kind;
  // A settings file kept elsewhere through a symbolic link (a dotfiles folder) stays a link.
  if (auto error = files::createFolders(UserTextFile::followLinks(file_).parent_path(), 0700)) {
    report("Settings not saved: " + *error);
    return;
  }
  const auto outcome = UserTextFile::edit(
      file_,
      [&](const UserTextFile& file) {
        if (afterRead_) afterRead_(file.target());
        Value document = Value::object();
        for (const auto& [key, value] : values) document[key] = value;
        if (file.state() == UserTextFile::State::text) {
          Value current = jsonNestingDepth(file.text()) > kMaxNestingDepth
                              ? Value()
                              : Value::parse(file.text(), nullptr, false);
          if (!current.is_object()) return Change{Change::Kind::keep, {}, "no longer holds a JSON object"};
          // What another program wrote since the last save stays: only what changed here since
          // then is applied onto the file as it is now.
          for (const auto& [key, value] : values)
            if (auto was = saved_.find(key); was == saved_.end() || was->second != value)
              current[key] = value;
          for (const auto& [key, value] : saved_)
            if (!values.contains(key)) current.erase(key);
          document = std::move(current);
        }
        // Invalid UTF-8 in a stored text is replaced rather than failing the whole save.
        return Change{
            Change::Kind::write, document.dump(2, ' ', false, Value::error_handler_t::replace) + "\n", {}};
      },
      0600);
  const std::string where = outcome.target.string();
  switch (outcome.kind) {
    case Kind::unchanged:
    case Kind::written:
    case Kind::created:
    case Kind::removed:
      saved_ = values;
      reportedReadOnly_ = false;
      return;
    case Kind::leftAlone:
      if (outcome.problem == UserTextFile::kReadOnly) {
        if (!reportedReadOnly_)
          report("Settings file " + where +
                 " is read-only: left as it is; settings changed now are kept for this run only, and saved "
                 "once the file is writable again.");
        reportedReadOnly_ = true;
        return;
      }
      report("Settings not saved: " + where + " " + outcome.problem +
             "; left as it is, settings changed now are kept for this run.");
      return;
    case Kind::unreadable:
      report("Settings not saved: " + where + " " + outcome.problem + "; left as it is.");
      return;
    case Kind::failed:
      report("Settings not saved: " + outcome.problem);
      return;
  }
}

bool JsonFileDefaults::flush() {
  std::unique_lock lock(writeMutex_);
  const std::uint64_t wanted = handedOver_;
  return written_.wait_for(lock, std::chrono::duration<double>(kFlushDeadline),
                           [&] { return writtenUpTo_ >= wanted || !writer_.joinable(); });
}

}  // namespace velvix::platform
