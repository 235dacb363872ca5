#pragma once
// The user files that Velvix itself created because they were missing (a ~/.zshrc or an editor's
// keybindings.json that held nothing before our block), listed in the support folder, so that
// such a file goes away with its block instead of staying behind empty. A file the user had, even
// an empty one, is never on the list. The same kind of list, under another name, holds the files
// whose final line feed Velvix added before its block, so that removal can take it away again.

#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Linux/UserTextFile.hpp"

namespace velvix {

class CreatedFiles {
 public:
  static constexpr const char* kFileName = "created-files";
  static constexpr const char* kLineFeedAddedName = "line-feed-added";

  explicit CreatedFiles(const std::filesystem::path& home, const char* recordName = kFileName);

  bool contains(const std::filesystem::path& file) const;
  void add(const std::filesystem::path& file);
  void forget(const std::filesystem::path& file);
  // Keeps the list in step with an edit of a file: one it created is listed; one whose block went,
  // or that was rewritten while `blockStays` is false, holds the user's text from then on.
  void follow(const UserTextFile::Outcome& outcome, bool blockStays);

 private:
  std::vector<std::string> load() const;
  void save(const std::vector<std::string>& files) const;

  std::filesystem::path home_;
  std::filesystem::path record_;
};

}  // namespace velvix
