#pragma once
// The four tabs of the settings window's sidebar, in sidebar order, each with its raw value (also
// the object name's suffix), its title (sidebar and pane heading) and its symbol name.

#include <array>
#include <optional>
#include <string_view>

namespace velvix {

enum class SettingsTab { appearance, controls, terminal, general };

namespace settingsTabs {

inline constexpr std::array<SettingsTab, 4> kAll{SettingsTab::appearance, SettingsTab::controls,
                                                 SettingsTab::terminal, SettingsTab::general};
std::string_view rawValue(SettingsTab tab);
std::string_view title(SettingsTab tab);
std::string_view symbol(SettingsTab tab);
std::optional<SettingsTab> fromRawValue(std::string_view text);

}  // namespace settingsTabs
}  // namespace velvix
