#pragma once
// The table of the application's long-lived services and platform interfaces, filled by the one
// composition root (VelvixApp) with every part it builds. Only the types that orchestrate many
// others read it: the application delegate, the event tap, the switcher controller and the Dock
// controller. Every other service takes references to exactly the collaborators it uses. Every
// field is set in every world; the instance lock alone is absent where no real process runs.
// Nothing is global.

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
class InProcessScripts;
class Screens;
class ScreenCapture;
class SecureInput;
class InputState;
class EventTaps;
class HotKeys;
class SymbolicHotKeys;
class KeyboardRegistry;
class AudioInput;
class BackgroundTimers;
class AppResources;
class Quarantine;
class ScreenPlacement;
class DesktopPicture;
class AccessibilityDisplay;
class Pasteboard;
class KeyboardLayout;
class URLOpener;
class SafariExtensionSettings;
class HttpClient;
class ImageDecoder;
class InstanceLock;
class Updater;
class MenuBar;
class MessagePorts;
}  // namespace platform

class AXWindowBridge;
class AppIcon;
class BadgeStore;
class FaviconStore;
class Activator;
class AppMonitor;
class Closer;
class DockController;
class MicFeedbackHUD;
class OnboardingWindowController;
class SettingsWindowController;
class TerminalEditingKeys;
class TerminalMouseSelection;
class AppleScriptBridge;
class SafariScriptHost;
class BrowserBridge;
class ChromeHostInstaller;
class TerminalIntegrationInstaller;
class VSCodeExtensionInstaller;
class VSCodeKeybindingsInstaller;
class ChromeSetupPresenter;
class DebugLog;
class HealthMonitor;
class MRUManager;
class MicMute;
class PermissionsService;
class Preferences;
class RunningApps;
class TabMover;
class SystemSwitcherShortcut;
class ThumbnailStore;
class UpdateChecker;
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
  platform::InProcessScripts* inProcessScripts = nullptr;
  platform::BundleReader* bundles = nullptr;
  platform::Screens* screens = nullptr;
  platform::ScreenCapture* screenCapture = nullptr;
  platform::SecureInput* secureInput = nullptr;
  platform::InputState* input = nullptr;
  platform::EventTaps* eventTaps = nullptr;
  platform::HotKeys* hotKeys = nullptr;
  platform::SymbolicHotKeys* symbolicHotKeys = nullptr;
  platform::KeyboardRegistry* keyboards = nullptr;
  platform::AudioInput* audioInput = nullptr;
  platform::BackgroundTimers* backgroundTimers = nullptr;
  platform::AppResources* resources = nullptr;  // what the application carries with it
  platform::Quarantine* quarantine = nullptr;
  platform::ScreenPlacement* placement = nullptr;      // where simulated panels appear on the display
  platform::DesktopPicture* desktopPicture = nullptr;  // what lies beneath a glass panel
  platform::MessagePorts* messagePorts = nullptr;      // the Safari handler's channel
  std::filesystem::path home;                          // the user's home folder; tests use a temporary one

  // The system's own long-lived services.
  DebugLog* log = nullptr;
  Preferences* preferences = nullptr;
  BrowserBridge* browserBridge = nullptr;
  AXWindowBridge* ax = nullptr;
  WindowList* windowList = nullptr;
  RunningApps* runningApps = nullptr;
  ThumbnailStore* thumbnails = nullptr;
  MRUManager* mru = nullptr;
  PermissionsService* permissions = nullptr;
  AppleScriptBridge* appleScripts = nullptr;
  SafariScriptHost* safariHost = nullptr;
  AppIcon* appIcons = nullptr;
  MicMute* micMute = nullptr;
  UpdateChecker* updateChecker = nullptr;
  DockController* dock = nullptr;
  TerminalEditingKeys* terminalKeys = nullptr;
  TerminalMouseSelection* mouseSelection = nullptr;
  MicFeedbackHUD* micHUD = nullptr;
  SettingsWindowController* settingsWindow = nullptr;
  OnboardingWindowController* onboardingWindow = nullptr;
  AppMonitor* appMonitor = nullptr;
  Activator* activator = nullptr;
  Closer* closer = nullptr;
  TabMover* tabMover = nullptr;
  ChromeHostInstaller* hostInstaller = nullptr;

  // Who answers Command-Tab, and the watch on whether presses reach us.
  SystemSwitcherShortcut* systemSwitcherShortcut = nullptr;
  HealthMonitor* healthMonitor = nullptr;

  // The HUD's pictures and badges, and the platform services behind them.
  platform::AccessibilityDisplay* accessibilityDisplay = nullptr;
  platform::HttpClient* http = nullptr;
  platform::ImageDecoder* imageDecoder = nullptr;
  // The real program's one-copy-per-home lock; absent in worlds that run no real process.
  platform::InstanceLock* instanceLock = nullptr;
  BadgeStore* badges = nullptr;
  FaviconStore* favicons = nullptr;

  // What the application installs into the user's own files, and the update framework.
  platform::Updater* updaterFramework = nullptr;
  TerminalIntegrationInstaller* terminalIntegration = nullptr;
  VSCodeKeybindingsInstaller* vscodeKeybindings = nullptr;
  VSCodeExtensionInstaller* vscodeExtension = nullptr;
  // Setting up the browser extension: the clipboard, the keyboard layout, opening addresses, and
  // the one automatic set-up with its card.
  platform::Pasteboard* pasteboard = nullptr;
  platform::KeyboardLayout* keyboardLayout = nullptr;
  platform::URLOpener* urlOpener = nullptr;
  platform::SafariExtensionSettings* safariExtensionSettings = nullptr;  // Safari's own settings window
  ChromeSetupPresenter* chromeSetup = nullptr;
  // The menu bar (main menu and status item) and Safari's settings for its extensions.
  platform::MenuBar* menuBar = nullptr;
};

}  // namespace velvix
