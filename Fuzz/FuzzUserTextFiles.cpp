// The readers of the user's own files that the application edits (~/.zshrc and the editors'
// keybindings.json) and the block insertion: the bytes are written to a real file and read back
// as the installers read them. Whatever the bytes, a file that is not usable text is reported,
// not edited; in usable text, removing every complete block takes away only lines, and inserting the
// keybindings block into text without one gives text where that block is found whole.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "Platform/Linux/UserTextFile.hpp"
#include "Support/FencedBlock.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"

using namespace velvix;

namespace {

std::string gFile;

const std::string& keybindingsBlock() {
  static const std::string block =
      std::string(VSCodeKeybindingsInstaller::kOpeningMarker) +
      "\n  { \"key\": \"cmd+left\", \"command\": \"workbench.action.terminal.sendSequence\", "
      "\"when\": \"terminalFocus\", \"args\": { \"text\": \"\\u0001\" } },\n" +
      VSCodeKeybindingsInstaller::kClosingMarker;
  return block;
}

void checkRemoval(const FencedBlock& fence, const std::string& text) {
  const auto found = fence.find(text);
  const std::string removed = fence.removing(text);
  if (found.state != FencedBlock::State::complete ? removed != text : removed.size() >= text.size())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char folder[] = "/tmp/velvix-fuzz-user-files-XXXXXX";
  if (!::mkdtemp(folder)) std::abort();
  gFile = std::string(folder) + "/user-file";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(gFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const UserTextFile file = UserTextFile::read(gFile);
  if (file.state() == UserTextFile::State::unusable && file.problem().empty()) std::abort();
  if (file.state() != UserTextFile::State::text) return 0;
  const std::string& text = file.text();

  const FencedBlock zshrc(TerminalIntegrationInstaller::kOpeningFence,
                          TerminalIntegrationInstaller::kClosingFence);
  checkRemoval(zshrc, text);
  const FencedBlock keys(VSCodeKeybindingsInstaller::kOpeningMarker,
                         VSCodeKeybindingsInstaller::kClosingMarker);
  checkRemoval(keys, text);

  const std::string without = VSCodeKeybindingsInstaller::removingFence(text);
  if (auto end = VSCodeKeybindingsInstaller::arrayEnd(without); end && without[*end] != ']') std::abort();
  if (keys.find(without).state != FencedBlock::State::absent) return 0;
  if (auto inserted = VSCodeKeybindingsInstaller::inserting(keybindingsBlock(), without))
    if (keys.find(*inserted).state != FencedBlock::State::complete) std::abort();
  return 0;
}
