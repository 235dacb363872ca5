// velvix_hud_render: draws the switcher HUD offscreen for a list of entries on a simulated
// desktop and writes it as a PNG, over a colourful stand-in desktop, for reviewing its look.
//
//   velvix_hud_render SCENE OUT.png [--preset compact|comfortable|large]
//                     [--glass appKit|swiftUI|liquidGlass] [--scale N]
//   velvix_hud_render --list FILE.json OUT.png [--thumbnails] [--selected N] [options as above]
//   velvix_hud_render --scenes

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

#include "Core/SettingsEnums.hpp"
#include "RenderUsage.hpp"
#include "TestSupport/HUDScene.hpp"

namespace {

int usage(bool help = false) {
  return velvix::tools::answerUsage(
      "usage: velvix_hud_render SCENE OUT.png [--preset P] [--glass G] [--scale N]\n"
      "       velvix_hud_render --list FILE.json OUT.png [--thumbnails] [--selected N] [...]\n"
      "       velvix_hud_render --scenes\n",
      help);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--scenes") {
    for (const auto& name : velvix::test::HUDScene::sceneNames()) std::cout << name << "\n";
    return 0;
  }
  if (velvix::tools::asksForHelp(argc, argv)) return usage(true);
  if (args.size() < 2) return usage();

  QApplication application(argc, argv);
  velvix::test::HUDScene scene;
  velvix::Preferences& preferences = scene.world.preferences();
  std::string listFile;
  std::vector<std::string> positional;
  double scale = 2.0;
  int selected = 0;
  bool thumbnails = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--list" && hasValue) {
      listFile = args[++i];
    } else if (a == "--preset" && hasValue) {
      auto preset = velvix::fromRaw<velvix::HUDSizePreset>(args[++i]);
      if (!preset) return usage();
      preferences.hudSizePreset.set(*preset);
    } else if (a == "--glass" && hasValue) {
      auto glass = velvix::fromRaw<velvix::GlassStyle>(args[++i]);
      if (!glass) return usage();
      preferences.hudGlassStyle.set(*glass);
    } else if (a == "--scale" && hasValue) {
      scale = std::atof(args[++i].c_str());
    } else if (a == "--selected" && hasValue) {
      selected = std::atoi(args[++i].c_str());
    } else if (a == "--thumbnails") {
      thumbnails = true;
    } else if (!a.starts_with("--")) {
      positional.push_back(a);
    } else {
      return usage();
    }
  }
  // A list names only the picture; a scene comes first.
  if (positional.size() != (listFile.empty() ? 2u : 1u) || !(scale > 0 && scale <= 4) ||
      !velvix::tools::isPicturePath(positional.back()))
    return usage();
  const std::string out = positional.back();
  const std::string sceneName = listFile.empty() ? positional.front() : std::string();

  if (!listFile.empty()) {
    std::ifstream in(listFile);
    const auto list = nlohmann::json::parse(in, nullptr, false);
    if (list.is_discarded()) {
      std::cerr << listFile << ": not valid JSON\n";
      return 1;
    }
    preferences.showThumbnails.set(thumbnails);
    if (auto error = scene.showList(list, selected)) {
      std::cerr << listFile << ": " << *error << "\n";
      return 1;
    }
  } else if (!scene.showScene(sceneName)) {
    std::cerr << "unknown scene \"" << sceneName << "\"; --scenes lists them\n";
    return 1;
  }
  if (!scene.save(out, scale)) {
    std::cerr << "could not write " << out << "\n";
    return 1;
  }
  std::cout << out << "\n";
  return 0;
}
