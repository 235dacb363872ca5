#include "Platform/Linux/JsonFileDefaults.hpp"

#include <cerrno>
#include <system_error>

#include "Platform/JsonNesting.hpp"
#include "Platform/Linux/Files.hpp"

namespace velvix::platform {

JsonFileDefaults::JsonFileDefaults(std::filesystem::path file, std::function<void(const std::string&)> onProblem)
    : JsonFileDefaults(load(file, onProblem), file, onProblem) {}  // copied, not moved: arguments are evaluated in no set order

JsonFileDefaults::JsonFileDefaults(Loaded loaded, std::filesystem::path file,
                                   std::function<void(const std::string&)> onProblem)
    : MemoryDefaults(std::move(loaded.values)),
      file_(std::move(file)),
      onProblem_(std::move(onProblem)),
      fileUnreadable_(loaded.fileUnreadable) {}

JsonFileDefaults::Loaded JsonFileDefaults::load(const std::filesystem::path& file,
                                                const std::function<void(const std::string&)>& onProblem) {
  auto report = [&](const std::string& line) {
    if (onProblem) onProblem(line);
  };
  // Only a file that is not there counts as empty. One that is there but cannot be read (another
  // owner, no permission, a folder in its place) still holds the user's settings.
  // A FIFO or a device in its place is never opened: reading it could wait for ever.
  std::error_code error;
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
  // Keep the damaged file for the user instead of overwriting it with the next change.
  auto aside = file;
  aside += ".damaged";
  std::filesystem::rename(file, aside, error);
  report("Settings file " + file.string() + " is not a JSON object (or nests deeper than " +
         std::to_string(kMaxNestingDepth) + " levels); moved it to " + aside.string() +
         " and started from defaults.");
  return {Value::object(), false};
}

void JsonFileDefaults::userValuesChanged(const std::map<std::string, Value>& values) {
  Value document = Value::object();
  for (const auto& [key, value] : values) document[key] = value;
  auto report = [&](const std::string& line) {
    if (onProblem_) onProblem_(line);
  };
  if (fileUnreadable_) {
    if (!reportedUnsaved_) report("Settings kept in memory only: " + file_.string() + " could not be read at launch.");
    reportedUnsaved_ = true;
    return;
  }
  if (auto error = files::createFolders(file_.parent_path(), 0700)) {
    report("Settings not saved: " + *error);
    return;
  }
  // Invalid UTF-8 in a stored text is replaced rather than failing the whole save.
  const std::string text = document.dump(2, ' ', false, Value::error_handler_t::replace) + "\n";
  if (auto error = files::writeAtomically(file_, text, 0600)) report("Settings not saved: " + *error);
}

}  // namespace velvix::platform
