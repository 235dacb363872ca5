#include "Support/VSCodeKeybindingsInstaller.hpp"

#include <system_error>

#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Support/DebugLog.hpp"
#include "Support/UserTextFile.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

struct Entry {
  const char* key;
  const char* text;  // as written in the file, with its JSON escapes
  const char* comment;
};
struct Group {
  Setting<bool> Preferences::*setting;
  std::vector<Entry> entries;
};

const std::vector<Group>& groups() {
  static const std::vector<Group> table = {
      {&Preferences::terminalLineJumpEnabled,
       {{"cmd+left", "\\u0001", "start of line (^A)"}, {"cmd+right", "\\u0005", "end of line (^E)"}}},
      {&Preferences::terminalLineDeleteEnabled,
       {{"cmd+backspace", "\\u0015", "delete to line start (^U)"},
        {"cmd+delete", "\\u000b", "delete to line end (^K)"}}},
      {&Preferences::terminalUndoRedoEnabled,
       {{"cmd+z", "\\u001f", "undo (^_)"}, {"cmd+shift+z", "\\u001b[31~", "redo widget (F17)"}}},
      {&Preferences::terminalCutEnabled, {{"cmd+x", "\\u001b[29~", "cut widget (F16)"}}},
      {&Preferences::terminalWordSelectEnabled,
       {{"shift+alt+left", "\\u001b[25~", "select word left (F13)"},
        {"shift+alt+right", "\\u001b[26~", "select word right (F14)"}}},
      {&Preferences::terminalLineSelectEnabled,
       {{"cmd+shift+left", "\\u001b[32~", "select to line start (F18)"},
        {"cmd+shift+right", "\\u001b[33~", "select to line end (F19)"}}},
  };
  return table;
}

// What each byte of a JSON-with-comments text is.
enum class Kind : char { code, string, comment };

std::vector<Kind> classify(std::string_view text) {
  std::vector<Kind> kinds(text.size(), Kind::code);
  std::size_t i = 0;
  auto mark = [&](std::size_t from, std::size_t to, Kind kind) {
    for (std::size_t k = from; k < to && k < text.size(); ++k) kinds[k] = kind;
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      std::size_t j = i + 1;
      while (j < text.size() && text[j] != '"') j += text[j] == '\\' ? 2 : 1;
      // An unterminated string runs to the end: nothing after it counts as structure.
      mark(i, j + 1, Kind::string);
      i = j + 1;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      const std::size_t end = text.find('\n', i);
      const std::size_t to = end == std::string_view::npos ? text.size() : end;
      mark(i, to, Kind::comment);
      i = to;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const std::size_t end = text.find("*/", i + 2);
      const std::size_t to = end == std::string_view::npos ? text.size() : end + 2;
      mark(i, to, Kind::comment);
      i = to;
    } else {
      ++i;
    }
  }
  return kinds;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Trailing spaces, tabs and line breaks, Unicode's next-line and line and paragraph separators too.
void stripTrailingBreaks(std::string& text) {
  for (;;) {
    if (!text.empty() && isSpace(text.back())) {
      text.pop_back();
    } else if (text.ends_with("\xC2\x85")) {
      text.resize(text.size() - 2);
    } else if (text.ends_with("\xE2\x80\xA8") || text.ends_with("\xE2\x80\xA9")) {
      text.resize(text.size() - 3);
    } else {
      return;
    }
  }
}

bool isBlank(std::string_view text) {
  std::string copy(text);
  stripTrailingBreaks(copy);
  return copy.empty();
}

const FencedBlock& fence() {
  static const FencedBlock block(VSCodeKeybindingsInstaller::kOpeningMarker,
                                 VSCodeKeybindingsInstaller::kClosingMarker);
  return block;
}

}  // namespace

VSCodeKeybindingsInstaller::VSCodeKeybindingsInstaller(Services& services)
    : services_(services),
      consent_(services, ConsentQuestion::Rank::editorKeys, [this] { requestConsentIfNeeded(); }) {}

void VSCodeKeybindingsInstaller::log(const std::string& line) const {
  if (services_.log) services_.log->log("vscode keys: " + line);
}

void VSCodeKeybindingsInstaller::reconcileAtLaunch() {
  reconcile();
  preferencesObservation_ =
      services_.notifications->observe(Preferences::kChangedNotification, *services_.loop,
                                       [this](const platform::Notification&) { reconcile(); });
}

std::vector<fs::path> VSCodeKeybindingsInstaller::keybindingsURLs() const {
  std::vector<fs::path> urls;
  const fs::path base = services_.home / "Library" / "Application Support";
  for (const char* editor : kEditors) {
    std::error_code error;
    if (fs::exists(base / editor / "User", error))
      urls.push_back(base / editor / "User" / "keybindings.json");
  }
  return urls;
}

std::string VSCodeKeybindingsInstaller::renderBlock() const {
  std::string block = std::string(kOpeningMarker) +
                      "\n"
                      "  // Managed by Velvix. Terminal panel only — your editor\n"
                      "  // keys are untouched. Turn the feature off in Velvix's\n"
                      "  // Settings to remove this block.\n";
  const Preferences& p = *services_.preferences;
  for (const auto& group : groups()) {
    if (!(p.*group.setting).get()) continue;
    for (const auto& e : group.entries)
      block += std::string("  { \"key\": \"") + e.key +
               "\", \"command\": \"workbench.action.terminal.sendSequence\", \"when\": \"terminalFocus\", "
               "\"args\": { \"text\": \"" +
               e.text + "\" } },  // " + e.comment + "\n";
  }
  return block + kClosingMarker;
}

std::string VSCodeKeybindingsInstaller::removingFence(std::string_view text) {
  return fence().removing(text, fence().find(text));
}

std::optional<std::size_t> VSCodeKeybindingsInstaller::lastSignificantIndex(std::size_t before,
                                                                            std::string_view text) {
  const auto kinds = classify(text);
  for (std::size_t i = std::min(before, text.size()); i-- > 0;)
    if (kinds[i] != Kind::comment && !isSpace(text[i])) return i;
  return std::nullopt;
}

std::optional<std::size_t> VSCodeKeybindingsInstaller::arrayEnd(std::string_view text) {
  const auto kinds = classify(text);
  std::optional<std::size_t> first;
  std::optional<std::size_t> last;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kinds[i] == Kind::comment || isSpace(text[i])) continue;
    if (!first) first = i;
    if (kinds[i] == Kind::code && text[i] == ']') last = i;
  }
  if (!first || text[*first] != '[' || !last) return std::nullopt;
  return last;
}

std::optional<std::string> VSCodeKeybindingsInstaller::inserting(std::string_view block,
                                                                 std::string_view text) {
  // An empty file becomes our header and an empty array, then takes the block like any other: so
  // the next reconcile, which removes and inserts again, finds the text it would write.
  if (isBlank(text)) return inserting(block, std::string(kNewFileHeader) + "]\n");
  const auto end = arrayEnd(text);
  if (!end) return std::nullopt;
  std::string head(text.substr(0, *end));
  if (const auto last = lastSignificantIndex(*end, text); last && text[*last] != '[' && text[*last] != ',')
    head.insert(*last + 1, ",");
  stripTrailingBreaks(head);
  return head + "\n\n" + std::string(block) + "\n" + std::string(text.substr(*end));
}

void VSCodeKeybindingsInstaller::reconcile() {
  const Preferences& p = *services_.preferences;
  reconcileFiles(p.terminalEditingKeysEnabled.get() && p.vscodeTerminalKeysAllowed.get());
  consent_.schedule();
}

void VSCodeKeybindingsInstaller::reconcileFiles(bool wanted) {
  const std::string block = wanted ? renderBlock() : std::string();
  for (const auto& url : keybindingsURLs()) {
    const UserTextFile file = UserTextFile::read(url);
    if (file.state() == UserTextFile::State::unusable) {
      // Only a missing file counts as empty; one we cannot read may hold the user's keys.
      if (wanted) log(file.problem() + "; leaving it alone");
      continue;
    }
    const auto found = fence().find(file.text());
    if (found.state == FencedBlock::State::damaged) {
      log("keybindings.json at " + url.string() + " holds a Velvix marker line without its partner (line " +
          std::to_string(found.first + 1) + "); leaving it alone");
      continue;
    }
    std::optional<std::string> updated;
    if (wanted) {
      updated = inserting(block, fence().removing(file.text(), found));
      if (!updated) {
        log("keybindings.json at " + url.string() + " has no array to insert into; leaving it alone");
        continue;
      }
    } else if (found.state == FencedBlock::State::complete) {
      updated = fence().removing(file.text(), found);
    }
    if (!updated || (file.state() == UserTextFile::State::text && *updated == file.text())) continue;
    if (auto error = file.write(*updated)) log("writing keybindings.json at " + url.string() + ": " + *error);
  }
}

void VSCodeKeybindingsInstaller::requestConsentIfNeeded() {
  Preferences& p = *services_.preferences;
  if (!p.terminalEditingKeysEnabled.get() || p.vscodeTerminalKeysAllowed.get() ||
      p.vscodeTerminalKeysAsked.get() || !p.hasCompletedOnboarding.get() || keybindingsURLs().empty() ||
      isAsking_)
    return;
  isAsking_ = true;
  consent_.opened();
  services_.application->activate(true);
  const int choice =
      services_.application->runAlert(kConsentMessage, kConsentText, {kAllowButton, kNotNowButton});
  isAsking_ = false;
  // Only a button the person pressed is an answer: a question that goes away with the program is
  // asked again at the next launch.
  if (choice >= 0) {
    p.vscodeTerminalKeysAsked.set(true);
    p.vscodeTerminalKeysAllowed.set(choice == 0);
    if (choice == 0) reconcileFiles(p.terminalEditingKeysEnabled.get());
  }
  consent_.closed();
}

}  // namespace velvix
