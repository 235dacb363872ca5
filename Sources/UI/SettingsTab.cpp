#include "UI/SettingsTab.hpp"

namespace velvix::settingsTabs {
namespace {

struct Row {
  SettingsTab tab;
  std::string_view raw, title, symbol;
};

constexpr std::array<Row, 4> kRows{{{SettingsTab::appearance, "appearance", "Appearance", "paintbrush"},
                                    {SettingsTab::controls, "controls", "Controls", "keyboard"},
                                    {SettingsTab::terminal, "terminal", "Terminal", "terminal"},
                                    {SettingsTab::general, "general", "General", "gearshape"}}};

const Row& row(SettingsTab tab) {
  return kRows[static_cast<std::size_t>(tab)];
}

}  // namespace

std::string_view rawValue(SettingsTab tab) {
  return row(tab).raw;
}
std::string_view title(SettingsTab tab) {
  return row(tab).title;
}
std::string_view symbol(SettingsTab tab) {
  return row(tab).symbol;
}

std::optional<SettingsTab> fromRawValue(std::string_view text) {
  for (const Row& r : kRows)
    if (r.raw == text) return r.tab;
  return std::nullopt;
}

}  // namespace velvix::settingsTabs
