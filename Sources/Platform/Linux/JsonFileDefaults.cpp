#include "Platform/Linux/JsonFileDefaults.hpp"

#include <cerrno>
#include <system_error>

#include "Platform/Linux/Files.hpp"

namespace velvix::platform {

JsonFileDefaults::JsonFileDefaults(std::filesystem::path file, std::function<void(const std::string&)> onProblem)
    : MemoryDefaults(load(file, onProblem)), file_(std::move(file)), onProblem_(std::move(onProblem)) {}

UserDefaults::Value JsonFileDefaults::load(const std::filesystem::path& file,
                                           const std::function<void(const std::string&)>& onProblem) {
  auto report = [&](const std::string& line) {
    if (onProblem) onProblem(line);
  };
  std::error_code error;
  if (!std::filesystem::exists(file, error)) return Value::object();
  auto text = files::readAll(file);
  if (!text) {
    report("Settings file " + file.string() + " cannot be read; using defaults.");
    return Value::object();
  }
  Value parsed = Value::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_object()) return parsed;
  // Keep the damaged file for the user instead of overwriting it with the next change.
  auto aside = file;
  aside += ".damaged";
  std::filesystem::rename(file, aside, error);
  report("Settings file " + file.string() + " is not a JSON object; moved it to " + aside.string() +
         " and started from defaults.");
  return Value::object();
}

void JsonFileDefaults::userValuesChanged(const std::map<std::string, Value>& values) {
  Value document = Value::object();
  for (const auto& [key, value] : values) document[key] = value;
  auto report = [&](const std::string& line) {
    if (onProblem_) onProblem_(line);
  };
  if (auto error = files::createFolders(file_.parent_path(), 0700)) {
    report("Settings not saved: " + *error);
    return;
  }
  // Invalid UTF-8 in a stored text is replaced rather than failing the whole save.
  const std::string text = document.dump(2, ' ', false, Value::error_handler_t::replace) + "\n";
  if (auto error = files::writeAtomically(file_, text, 0600)) report("Settings not saved: " + *error);
}

}  // namespace velvix::platform
