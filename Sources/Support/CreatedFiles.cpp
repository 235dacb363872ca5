#include "Support/CreatedFiles.hpp"

#include <algorithm>

#include "Platform/Linux/Files.hpp"
#include "Support/SupportFolder.hpp"

namespace velvix {

CreatedFiles::CreatedFiles(const std::filesystem::path& home, const char* recordName)
    : home_(home), record_(SupportFolder::path(home) / recordName) {}

std::vector<std::string> CreatedFiles::load() const {
  std::vector<std::string> files;
  const std::string text = files::readAll(record_).value_or("");
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) files.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

void CreatedFiles::save(const std::vector<std::string>& files) const {
  std::string text;
  for (const auto& file : files) text += file + "\n";
  // Not recorded, the file merely stays behind empty later: nothing of the user's is at stake.
  if (!SupportFolder::ensure(home_)) files::writeAtomically(record_, text, 0600);
}

bool CreatedFiles::contains(const std::filesystem::path& file) const {
  const auto files = load();
  return std::find(files.begin(), files.end(), file.string()) != files.end();
}

void CreatedFiles::add(const std::filesystem::path& file) {
  // One path a line: a name holding a line feed cannot be listed, and is not.
  if (file.string().find('\n') != std::string::npos || contains(file)) return;
  auto files = load();
  files.push_back(file.string());
  save(files);
}

void CreatedFiles::forget(const std::filesystem::path& file) {
  auto files = load();
  const auto kept = std::remove(files.begin(), files.end(), file.string());
  if (kept == files.end()) return;
  files.erase(kept, files.end());
  save(files);
}

void CreatedFiles::follow(const UserTextFile::Outcome& outcome, bool blockStays) {
  using Kind = UserTextFile::Outcome::Kind;
  if (outcome.kind == Kind::created) add(outcome.target);
  if (outcome.kind == Kind::removed || (outcome.kind == Kind::written && !blockStays)) forget(outcome.target);
}

}  // namespace velvix
