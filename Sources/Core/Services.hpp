#pragma once
// The wiring of the application: one plain struct of pointers to the long-lived services and the
// platform interfaces, built by the composition root (the program, or a test's TestWorld) and
// handed to every service it creates. A service reads its collaborators from here when it needs
// them, so services that use each other need no construction order tricks. Nothing is global.

#include <filesystem>

namespace velvix {
namespace platform {
class BundleReader;
class LoginItems;
class MainLoop;
class ProcessTable;
class Accessibility;
class WindowServer;
class NotificationCenter;
class UserDefaults;
class Workspace;
class Privacy;
class Application;
class Launcher;
class ScriptRunner;
class Screens;
class ScreenCapture;
class SecureInput;
class InputState;
class AccessibilityDisplay;
class HttpClient;
class ImageDecoder;
}  // namespace platform

class AXWindowBridge;
class BadgeStore;
class FaviconStore;
class Activator;
class AppMonitor;
class Closer;
class AppleScriptBridge;
class BrowserBridge;
class DebugLog;
class MRUManager;
class PermissionsService;
class Preferences;
class RunningApps;
class ThumbnailStore;
class WindowList;

struct Services {
  // The platform.
  platform::MainLoop* loop = nullptr;
  platform::UserDefaults* defaults = nullptr;
  platform::NotificationCenter* notifications = nullptr;
  platform::Workspace* workspace = nullptr;
  platform::LoginItems* loginItems = nullptr;
  platform::ProcessTable* processes = nullptr;
  platform::WindowServer* windowServer = nullptr;
  platform::Accessibility* accessibility = nullptr;
  platform::Privacy* privacy = nullptr;
  platform::Application* application = nullptr;
  platform::Launcher* launcher = nullptr;
  platform::ScriptRunner* scriptRunner = nullptr;
  platform::BundleReader* bundles = nullptr;
  platform::Screens* screens = nullptr;
  platform::ScreenCapture* screenCapture = nullptr;
  platform::SecureInput* secureInput = nullptr;
  platform::InputState* input = nullptr;
  std::filesystem::path home;  // the user's home folder; tests use a temporary one

  // The system's own long-lived services.
  DebugLog* log = nullptr;
  Preferences* preferences = nullptr;
  BrowserBridge* bridge = nullptr;
  AXWindowBridge* ax = nullptr;
  WindowList* windows = nullptr;
  RunningApps* runningApps = nullptr;
  ThumbnailStore* thumbnails = nullptr;
  MRUManager* mru = nullptr;
  PermissionsService* permissions = nullptr;
  AppleScriptBridge* scripts = nullptr;
  AppMonitor* appMonitor = nullptr;
  Activator* activator = nullptr;
  Closer* closer = nullptr;

  // The HUD's pictures and badges, and the platform services behind them.
  platform::AccessibilityDisplay* accessibilityDisplay = nullptr;
  platform::HttpClient* http = nullptr;
  platform::ImageDecoder* imageDecoder = nullptr;
  BadgeStore* badges = nullptr;
  FaviconStore* favicons = nullptr;
};

}  // namespace velvix
