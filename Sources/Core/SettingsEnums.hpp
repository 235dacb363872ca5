#pragma once
// The enumerations of the settings store. Each is stored by its raw name (the case name); every
// case is listed in declared order for pickers; fromRaw() yields nothing for an unknown text.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velvix {

enum class HotkeyMode { commandTab, optionTab };
enum class GlassStyle { appKit, swiftUI, liquidGlass };
enum class HUDSizePreset { compact, comfortable, large };

template <typename E>
struct EnumNames;

template <>
struct EnumNames<HotkeyMode> {
  static constexpr std::array<std::pair<HotkeyMode, std::string_view>, 2> cases{
      {{HotkeyMode::commandTab, "commandTab"}, {HotkeyMode::optionTab, "optionTab"}}};
};
template <>
struct EnumNames<GlassStyle> {
  static constexpr std::array<std::pair<GlassStyle, std::string_view>, 3> cases{
      {{GlassStyle::appKit, "appKit"},
       {GlassStyle::swiftUI, "swiftUI"},
       {GlassStyle::liquidGlass, "liquidGlass"}}};
};
template <>
struct EnumNames<HUDSizePreset> {
  static constexpr std::array<std::pair<HUDSizePreset, std::string_view>, 3> cases{
      {{HUDSizePreset::compact, "compact"},
       {HUDSizePreset::comfortable, "comfortable"},
       {HUDSizePreset::large, "large"}}};
};

template <typename E>
constexpr std::string_view rawName(E value) {
  for (const auto& [c, name] : EnumNames<E>::cases)
    if (c == value) return name;
  return {};
}

// Exact, case-sensitive match of a raw name.
template <typename E>
constexpr std::optional<E> fromRaw(std::string_view text) {
  for (const auto& [c, name] : EnumNames<E>::cases)
    if (name == text) return c;
  return std::nullopt;
}

template <typename E>
constexpr auto allCases() {
  std::array<E, EnumNames<E>::cases.size()> result{};
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = EnumNames<E>::cases[i].first;
  return result;
}

}  // namespace velvix
