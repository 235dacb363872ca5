#include "Support/VSCodeKeybindingsInstaller.hpp"

#include <algorithm>
#include <system_error>

#include "Platform/Application.hpp"
#include "Platform/Linux/UserTextFile.hpp"
#include "Support/CreatedFiles.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

struct Entry {
  const char* key;
  const char* text;  // as written in the file, with its JSON escapes
  const char* comment;
};

// The block's keys, each group behind the setting that switches it, in the block's order.
struct Group {
  const Setting<bool>& setting;
  std::vector<Entry> entries;
};

std::vector<Group> groups(const VSCodeKeybindingsInstaller::Settings& settings) {
  return {
      {settings.terminalLineJumpEnabled,
       {{"cmd+left", "\\u0001", "start of line (^A)"}, {"cmd+right", "\\u0005", "end of line (^E)"}}},
      {settings.terminalLineDeleteEnabled,
       {{"cmd+backspace", "\\u0015", "delete to line start (^U)"},
        {"cmd+delete", "\\u000b", "delete to line end (^K)"}}},
      {settings.terminalUndoRedoEnabled,
       {{"cmd+z", "\\u001f", "undo (^_)"}, {"cmd+shift+z", "\\u001b[31~", "redo widget (F17)"}}},
      {settings.terminalCutEnabled, {{"cmd+x", "\\u001b[29~", "cut widget (F16)"}}},
      {settings.terminalWordSelectEnabled,
       {{"shift+alt+left", "\\u001b[25~", "select word left (F13)"},
        {"shift+alt+right", "\\u001b[26~", "select word right (F14)"}}},
      {settings.terminalLineSelectEnabled,
       {{"cmd+shift+left", "\\u001b[32~", "select to line start (F18)"},
        {"cmd+shift+right", "\\u001b[33~", "select to line end (F19)"}}},
  };
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

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kNoArray = "has no array to insert into";
constexpr const char* kUnbalanced = "has brackets that do not pair up";
constexpr const char* kAfterArray = "has more after its array than blanks and comments";
// Stands between the user's last entry and ours when that entry has no comma of its own, so the
// user's text is never touched.
constexpr const char* kCommaLine = "  ,  // separates your last entry from these";

bool isBlank(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::string copy(text);
  stripTrailingBreaks(copy);
  return copy.empty();
}

// The text's own line ending: that of its first line.
std::string_view lineBreakOf(std::string_view text) {
  const std::size_t end = text.find('\n');
  return end != std::string_view::npos && end > 0 && text[end - 1] == '\r' ? "\r\n" : "\n";
}

struct ArrayScan {
  std::optional<std::size_t> end;
  const char* problem = nullptr;
};

ArrayScan scanArray(std::string_view text) {
  const auto kinds = classify(text);
  auto blank = [&](std::size_t i) { return kinds[i] == Kind::comment || isSpace(text[i]); };
  std::size_t i = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (i < text.size() && blank(i)) ++i;
  if (i == text.size() || text[i] != '[') return {std::nullopt, kNoArray};
  // An unfinished file must not have the block put into some inner array of the user's.
  std::string open;
  for (; i < text.size(); ++i) {
    if (kinds[i] != Kind::code) continue;
    const char c = text[i];
    if (c == '[' || c == '{') {
      open.push_back(c);
    } else if (c == ']' || c == '}') {
      if (open.empty() || open.back() != (c == ']' ? '[' : '{')) return {std::nullopt, kUnbalanced};
      open.pop_back();
      if (open.empty()) break;
    }
  }
  if (i == text.size()) return {std::nullopt, kUnbalanced};
  for (std::size_t j = i + 1; j < text.size(); ++j)
    if (!blank(j)) return {std::nullopt, kAfterArray};
  return {i, nullptr};
}

const FencedBlock& fence() {
  // An editor that formats the file indents the marker lines with the rest.
  static const FencedBlock block(VSCodeKeybindingsInstaller::kOpeningMarker,
                                 VSCodeKeybindingsInstaller::kClosingMarker,
                                 FencedBlock::Match::ignoringBlanks);
  return block;
}

}  // namespace

VSCodeKeybindingsInstaller::VSCodeKeybindingsInstaller(Collaborators collaborators)
    : application_(collaborators.application),
      notifications_(collaborators.notifications),
      loop_(collaborators.loop),
      log_(collaborators.log),
      settings_(collaborators.settings),
      home_(std::move(collaborators.home)),
      consent_(collaborators.consentTurns, ConsentQuestion::Rank::editorKeys,
               [this] { requestConsentIfNeeded(); }) {}

void VSCodeKeybindingsInstaller::log(const std::string& line) const {
  log_.log("vscode keys: " + line);
}

void VSCodeKeybindingsInstaller::reconcileAtLaunch() {
  reconcile();
  preferencesObservation_ = notifications_.observe(SettingStore::kChangedNotification, loop_,
                                                   [this](const platform::Notification&) { reconcile(); });
}

std::vector<fs::path> VSCodeKeybindingsInstaller::keybindingsURLs() const {
  std::vector<fs::path> urls;
  const fs::path base = home_ / "Library" / "Application Support";
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
  for (const auto& group : groups(settings_)) {
    if (!group.setting.get()) continue;
    for (const auto& e : group.entries)
      block += std::string("  { \"key\": \"") + e.key +
               "\", \"command\": \"workbench.action.terminal.sendSequence\", \"when\": \"terminalFocus\", "
               "\"args\": { \"text\": \"" +
               e.text + "\" } },  // " + e.comment + "\n";
  }
  return block + kClosingMarker;
}

std::string VSCodeKeybindingsInstaller::removingFence(std::string_view text) {
  std::string result(text);
  // Every copy goes: a stale second block would keep keys bound that the settings switched off.
  for (auto found = fence().find(result); found.state == FencedBlock::State::complete;
       found = fence().find(result)) {
    const std::string_view rest(result);
    // `inserting` put the block's lines, each with its line break, after one more line break.
    const std::string_view opening = rest.substr(found.begin, rest.find('\n', found.begin) - found.begin);
    const std::string_view lineBreak = opening.ends_with('\r') ? "\r\n" : "\n";
    std::size_t from = found.begin;
    if (rest.substr(0, from).ends_with(lineBreak))
      from -= lineBreak.size();
    else if (from > 0 && rest[from - 1] == '\n')
      --from;
    std::size_t to = found.end;
    if (to < rest.size() && rest[to] == '\n') ++to;
    result = std::string(rest.substr(0, from)) + std::string(rest.substr(to));
  }
  // Of a file that `inserting` filled from blank, the header goes too.
  const std::string created = std::string(kNewFileHeader) + "]\n";
  if (result.ends_with(created) &&
      isBlank(std::string_view(result).substr(0, result.size() - created.size())))
    result.resize(result.size() - created.size());
  return result;
}

std::optional<std::size_t> VSCodeKeybindingsInstaller::lastSignificantIndex(std::size_t before,
                                                                            std::string_view text) {
  const auto kinds = classify(text);
  for (std::size_t i = std::min(before, text.size()); i-- > 0;)
    if (kinds[i] != Kind::comment && !isSpace(text[i])) return i;
  return std::nullopt;
}

std::optional<std::size_t> VSCodeKeybindingsInstaller::arrayEnd(std::string_view text) {
  return scanArray(text).end;
}

std::string VSCodeKeybindingsInstaller::arrayProblem(std::string_view text) {
  const char* problem = scanArray(text).problem;
  return problem ? problem : "";
}

std::optional<std::string> VSCodeKeybindingsInstaller::inserting(std::string_view block,
                                                                 std::string_view text) {
  // A blank file gets our header and an empty array after what it holds, then takes the block like
  // any other: so the next reconcile, which removes and inserts again, finds the text it would write.
  if (isBlank(text)) return inserting(block, std::string(text) + kNewFileHeader + "]\n");
  const auto end = arrayEnd(text);
  if (!end) return std::nullopt;
  const std::string_view lineBreak = lineBreakOf(text);
  const auto last = lastSignificantIndex(*end, text);
  const bool comma = last && text[*last] != '[' && text[*last] != ',';
  std::vector<std::string_view> lines;
  for (std::size_t from = 0;;) {
    const std::size_t stop = block.find('\n', from);
    lines.push_back(
        block.substr(from, stop == std::string_view::npos ? std::string_view::npos : stop - from));
    if (stop == std::string_view::npos) break;
    from = stop + 1;
  }
  // The comma line follows the opening marker and the block's own comment lines.
  std::size_t commaAt = 1;
  auto isComment = [](std::string_view line) {
    const std::size_t from = line.find_first_not_of(" \t");
    return from != std::string_view::npos && line.substr(from).starts_with("//");
  };
  while (commaAt + 1 < lines.size() && isComment(lines[commaAt])) ++commaAt;
  commaAt = std::min(commaAt, lines.size() - 1);
  std::string added(lineBreak);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (comma && i == commaAt) added += std::string(kCommaLine) + std::string(lineBreak);
    added += std::string(lines[i]) + std::string(lineBreak);
  }
  return std::string(text.substr(0, *end)) + added + std::string(text.substr(*end));
}

void VSCodeKeybindingsInstaller::reconcile() {
  reconcileFiles(settings_.terminalEditingKeysEnabled.get() && settings_.vscodeTerminalKeysAllowed.get());
  consent_.schedule();
}

void VSCodeKeybindingsInstaller::reconcileFiles(bool wanted) {
  using Change = UserTextFile::Change;
  using Kind = UserTextFile::Outcome::Kind;
  const std::string block = wanted ? renderBlock() : std::string();
  CreatedFiles created(home_);
  std::string notes;
  for (const auto& url : keybindingsURLs()) {
    const auto outcome = UserTextFile::edit(url, [&](const UserTextFile& file) {
      const auto found = fence().find(file.text());
      if (found.state == FencedBlock::State::damaged)
        return Change{
            Change::Kind::keep,
            {},
            "holds a Velvix marker line without its partner (line " + std::to_string(found.first + 1) + ")"};
      if (!wanted && found.state == FencedBlock::State::absent) return Change{};
      std::string mine = removingFence(file.text());
      if (!wanted) {
        if (mine.empty() && created.contains(file.target())) return Change{Change::Kind::remove, {}, {}};
        return Change{Change::Kind::write, std::move(mine), {}};
      }
      auto updated = inserting(block, mine);
      if (!updated) return Change{Change::Kind::keep, {}, arrayProblem(mine)};
      return Change{Change::Kind::write, std::move(*updated), {}};
    });
    const std::string editor = url.parent_path().parent_path().filename().string();
    auto note = [&](const std::string& why) {
      notes += (notes.empty() ? "" : "\n") + ("keybindings.json of " + editor + " " + why);
    };
    // A created file whose block was rewritten is still all ours; once the block is out, what is
    // left is the user's.
    created.follow(outcome, wanted);
    switch (outcome.kind) {
      case Kind::unchanged:
      case Kind::created:
      case Kind::written:
      case Kind::removed:
        break;
      case Kind::unreadable:
        // Only a missing file counts as empty; one we cannot read may hold the user's keys.
        if (!wanted) break;
        [[fallthrough]];
      case Kind::leftAlone:
        log("keybindings.json at " + url.string() + " " + outcome.problem + "; leaving it alone");
        note(outcome.problem + ", so Velvix left it as it is.");
        break;
      case Kind::failed:
        log("writing keybindings.json at " + url.string() + ": " + outcome.problem);
        note("could not be written, so Velvix left it as it is.");
        break;
    }
  }
  leftAloneNote_ = notes;
}

void VSCodeKeybindingsInstaller::requestConsentIfNeeded() {
  if (!settings_.terminalEditingKeysEnabled.get() || settings_.vscodeTerminalKeysAllowed.get() ||
      settings_.vscodeTerminalKeysAsked.get() || !settings_.hasCompletedOnboarding.get() ||
      keybindingsURLs().empty() || isAsking_)
    return;
  isAsking_ = true;
  consent_.opened();
  application_.activate(true);
  const int choice = application_.runAlert(kConsentMessage, kConsentText, {kAllowButton, kNotNowButton});
  isAsking_ = false;
  // Only a button the person pressed is an answer: a question that goes away with the program is
  // asked again at the next launch.
  if (choice >= 0) {
    settings_.vscodeTerminalKeysAsked.set(true);
    settings_.vscodeTerminalKeysAllowed.set(choice == 0);
    if (choice == 0) reconcileFiles(settings_.terminalEditingKeysEnabled.get());
  }
  consent_.closed();
}

}  // namespace velvix
