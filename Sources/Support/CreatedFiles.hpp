#pragma once
// The user files that Velvix itself created because they were missing (a ~/.zshrc or an editor's
// keybindings.json that held nothing before our block), listed in the support folder, so that
// such a file goes away with its block instead of staying behind empty. A file the user had, even
// an empty one, is never on the list.

#include <filesystem>
#include <string>
#include <vector>

namespace velvix {

class CreatedFiles {
 public:
  static constexpr const char* kFileName = "created-files";

  explicit CreatedFiles(const std::filesystem::path& home);

  bool contains(const std::filesystem::path& file) const;
  void add(const std::filesystem::path& file);
  void forget(const std::filesystem::path& file);

 private:
  std::vector<std::string> load() const;
  void save(const std::vector<std::string>& files) const;

  std::filesystem::path home_;
  std::filesystem::path record_;
};

}  // namespace velvix
