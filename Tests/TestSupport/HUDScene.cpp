#include "TestSupport/HUDScene.hpp"

#include <QBuffer>
#include <QPainter>

#include "Core/BadgeStore.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimHttpClient.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"

namespace velvix::test {

namespace {

// Long enough for captures, site icons, badges and the first frames of the live stream.
constexpr double kSettleTime = 1.0;

// A small PNG of a coloured disc with a white dot, as a site icon.
std::string siteIconPNG(const QColor& colour) {
  QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, 30, 30));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(11, 11, 10, 10));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string hostOf(const std::string& url) {
  auto start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  return url.substr(start, url.find('/', start) - start);
}

}  // namespace

bool tabMoverCanDrag(const SwitchableItem& item) {
  return item.kind == ItemKind::tab && item.source == TabSource::webExtension && item.tabID && item.browser &&
         browsers::isChromiumFamily(*item.browser);
}

bool tabMoverCanDrop(const SwitchableItem& dragged, const SwitchableItem& target) {
  return tabMoverCanDrag(dragged) && tabMoverCanDrag(target) && dragged.browser == target.browser &&
         dragged.isPrivate == target.isPrivate && dragged.session == target.session &&
         dragged.tabID != target.tabID;
}

HUDScene::HUDScene() {
  ensureQtApplication();
  world.services();
  world.desktop.dock().start();
}

HUDScene::~HUDScene() = default;

platform::Pid HUDScene::launched(const std::string& bundleID, const std::string& name) {
  if (auto found = apps_.find(bundleID); found != apps_.end()) return found->second;
  const auto pid = world.desktop.launch({.bundleID = bundleID, .name = name});
  world.desktop.dock().addApplication(pid);
  apps_[bundleID] = pid;
  return pid;
}

std::int64_t HUDScene::addWindow(platform::Pid pid, const std::string& title, Size size) {
  const double offset = 40.0 * static_cast<double>(world.desktop.stackingOrder().size() % 8);
  return world.desktop.addWindow(
      pid, {.title = title, .bounds = {80 + offset, 60 + offset, size.width, size.height}});
}

void HUDScene::capture(std::int64_t number, platform::Pid pid, const std::string& key) {
  world.thumbnails().captureWindow(number, pid, {key}, true);
  world.loop.advance(kSettleTime);
}

SwitchableItem HUDScene::application(const std::string& bundleID, const std::string& name) {
  SwitchableItem item;
  item.id = SwitchableItem::appID(bundleID);
  item.bundleID = bundleID;
  item.title = name;
  item.pid = launched(bundleID, name);
  return item;
}

SwitchableItem HUDScene::window(const std::string& bundleID, const std::string& name,
                                const std::string& title, WindowOptions options) {
  SwitchableItem item = application(bundleID, name);
  item.windowNumber = addWindow(*item.pid, title, options.size);
  item.id = SwitchableItem::windowItemID(bundleID, *item.windowNumber);
  item.title = title;
  item.isMinimized = options.minimized;
  if (options.still) capture(*item.windowNumber, *item.pid, item.id);
  if (options.minimized) world.desktop.setMinimized(*item.windowNumber, true);
  return item;
}

SwitchableItem HUDScene::tab(Browser browser, const std::string& windowID, std::int64_t tabID,
                             const std::string& title, const std::string& url) {
  const std::string bundleID(browsers::bundleID(browser));
  SwitchableItem item;
  item.kind = ItemKind::tab;
  item.bundleID = bundleID;
  item.browser = browser;
  item.windowID = windowID;
  item.tabID = tabID;
  item.session = "s1";
  item.source = TabSource::webExtension;
  item.title = title;
  item.url = url;
  item.pid = launched(bundleID, std::string(browsers::appleScriptName(browser)));
  item.id = "tab:" + std::string(browsers::rawValue(browser)) + ":s1:" + std::to_string(tabID);
  const std::string key = bundleID + "#" + windowID;
  if (!browserWindows_.contains(key)) browserWindows_[key] = addWindow(*item.pid, title, {1100, 700});
  capture(browserWindows_[key], *item.pid, item.id);
  return item;
}

void HUDScene::serveSiteIcon(const std::string& url) {
  const auto hue = static_cast<int>(std::hash<std::string>{}(hostOf(url)) % 360);
  world.http().serve("https://" + hostOf(url) + "/favicon.ico",
                     {.body = siteIconPNG(QColor::fromHsv(hue, 180, 220))});
}

void HUDScene::dockBadge(const std::string& bundleID, const std::string& label) {
  auto pid = apps_.find(bundleID);
  if (pid == apps_.end()) return;
  world.desktop.dock().addApplication(pid->second, label);
  world.badges().start();
  world.loop.advance(BadgeStore::kRefreshInterval);
}

HUDController& HUDScene::hud() {
  if (!hud_) {
    Services& services = world.services();
    hud_ = std::make_unique<HUDController>(
        HUDController::Collaborators{.loop = world.loop,
                                     .preferences = world.preferences(),
                                     .privacy = world.desktop.privacyService(),
                                     .screens = world.desktop.screens(),
                                     .accessibilityDisplay = world.desktop.accessibilityDisplay(),
                                     .thumbnails = world.thumbnails(),
                                     .screenCapture = world.desktop.screenCapture(),
                                     .runningApps = world.runningApps(),
                                     .windowList = world.windowList(),
                                     .badges = world.badges(),
                                     .favicons = world.favicons(),
                                     .desktopPicture = services.desktopPicture,
                                     .screenPlacement = services.placement});
    hud_->model().canDrag = tabMoverCanDrag;
    hud_->model().canDrop = tabMoverCanDrop;
  }
  return *hud_;
}

void HUDScene::show(const std::vector<SwitchableItem>& items, int selectedIndex) {
  hud().show(items, selectedIndex);
  world.loop.advance(kSettleTime);
}

void HUDScene::dragOver(int source, int target) {
  HUDModel& model = hud().model();
  const Rect from = model.cellFrames.at(source), to = model.cellFrames.at(target);
  model.gesturePressed();
  model.gestureMoved(source, {from.midX() + 10, from.midY()});
  model.gestureMoved(source, {to.midX(), to.midY() + to.height * 0.2});
}

QImage HUDScene::picture(double scale) {
  auto snapshot = hud().snapshot(scale);
  if (!snapshot) return {};
  QImage image = qt::toQImage(*snapshot).copy();
  image.setDevicePixelRatio(scale);
  return image;
}

bool HUDScene::save(const std::filesystem::path& path, double scale) {
  const QImage image = picture(scale);
  if (image.isNull()) return false;
  return composeOverDesktop(image).save(QString::fromStdString(path.string()));
}

}  // namespace velvix::test
