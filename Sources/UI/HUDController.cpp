#include "UI/HUDController.hpp"

#include <cmath>

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include "Core/LiveWindowStream.hpp"
#include "Core/Preferences.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "Platform/DesktopPicture.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/Qt/QtGeometry.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "Support/RunningApps.hpp"
#include "UI/FrostBackdrop.hpp"
#include "UI/HUDModel.hpp"
#include "UI/HUDView.hpp"
#include "UI/PanelWindow.hpp"

namespace velvix {

struct HUDController::Impl {
  explicit Impl(const Collaborators& c)
      : uses(c), model(c.loop), liveStream(c.screenCapture, c.thumbnails, c.loop) {}

  void fitLayout(const std::vector<SwitchableItem>& items, const platform::ScreenInfo& screen);
  // The fit of the last shown list, made again only when its sizes, the preset or the screen change.
  const HUDMetrics::ScreenFit& fitted(HUDSizePreset preset, bool thumbnails, const HUDMetrics::Aspects& of,
                                      HUDMetrics::Size visible);
  // Fits the list on the screen under the pointer, which it gives; without one it clears the
  // layout of the list before.
  std::optional<platform::ScreenInfo> fitOnTargetScreen(const std::vector<SwitchableItem>& items);
  void ensurePanel();
  void layout(const platform::ScreenInfo& screen);
  void startLivePreview();
  // The first cell's picture in device pixels; empty before the bar is laid out.
  Size drawnPixels() const;
  RGBAImage atDrawnSize(const RGBAImage& frame) const;
  std::optional<std::int64_t> liveWindow(const SwitchableItem& item) const;

  Collaborators uses;
  std::optional<Rect> simulatedFrame;  // where the panel is on the (simulated) screen
  HUDModel model;
  LiveWindowStream liveStream;
  std::unique_ptr<PanelWindow> panel;
  FrostBackdropView* frostView = nullptr;
  FrostBackdropView::Fade* frostFade = nullptr;
  std::string frostFadeKey;
  HUDView* hostingView = nullptr;
  // The width / height of each entry's still at the last thumbnail fit.
  HUDMetrics::Aspects aspects;
  HUDMetrics::Size panelSize;
  AppIconProvider iconProvider;
  struct LastFit {
    HUDSizePreset preset;
    bool thumbnails;
    HUDMetrics::Aspects aspects;
    HUDMetrics::Size visible;
    HUDMetrics::ScreenFit fit;
  };
  std::optional<LastFit> lastFit;
  // A while after the HUD hides its frost lets go of its picture, several megabytes at twice
  // the pixels. Kept that long, a quick chord over the same desktop (one cancelled, say) shows
  // without drawing it again.
  platform::Timer releaseFrost;
};

const HUDMetrics::ScreenFit& HUDController::Impl::fitted(HUDSizePreset preset, bool thumbnails,
                                                         const HUDMetrics::Aspects& of,
                                                         HUDMetrics::Size visible) {
  if (!lastFit || lastFit->preset != preset || lastFit->thumbnails != thumbnails || lastFit->aspects != of ||
      lastFit->visible != visible)
    lastFit =
        LastFit{preset, thumbnails, of, visible, HUDMetrics::fitScreen(preset, thumbnails, of, visible)};
  return lastFit->fit;
}

std::optional<platform::ScreenInfo> HUDController::targetScreen(
    const std::vector<platform::ScreenInfo>& screens, Point pointer) {
  for (const auto& screen : screens)
    if (screen.frame.contains(pointer)) return screen;
  if (!screens.empty()) return screens.front();
  return std::nullopt;
}

Rect HUDController::placement(HUDMetrics::Size size, const Rect& visibleFrame) {
  // Screen coordinates grow downwards here, so "below the middle" adds.
  const double centreY = visibleFrame.midY() + kCentreDrop * visibleFrame.height;
  return {visibleFrame.midX() - size.width / 2, centreY - size.height / 2, size.width, size.height};
}

void HUDController::Impl::fitLayout(const std::vector<SwitchableItem>& items,
                                    const platform::ScreenInfo& screen) {
  const HUDSizePreset preset = uses.preferences.hudSizePreset.get();
  const HUDMetrics::Size visible{screen.visibleFrame.width, screen.visibleFrame.height};
  if (!model.usesThumbnails()) {
    aspects.clear();
    const auto& fit = fitted(preset, false, HUDMetrics::Aspects(items.size()), visible);
    model.setFittedIconSize(fit.icon);
    model.setRows({});
    model.setCellWidths({});
    model.setCellThumbs({});
    panelSize = fit.panel;
    return;
  }
  // The stills are taken now and kept while the HUD shows this list, whatever the cache does.
  std::vector<std::optional<RGBAImage>> thumbs;
  aspects.clear();
  for (const auto& item : items) {
    std::optional<RGBAImage> still;
    if (const auto* cached = uses.thumbnails.entry(item.id)) still = cached->image;
    std::optional<double> aspect;
    if (still && still->pointHeight() > 0) aspect = still->pointWidth() / still->pointHeight();
    aspects.push_back(aspect);
    thumbs.push_back(std::move(still));
  }
  const auto& fit = fitted(preset, true, aspects, visible);
  model.setFittedIconSize(fit.icon);
  model.setRows(fit.rows);
  model.setCellWidths(fit.cellWidths);
  model.setCellThumbs(std::move(thumbs));
  panelSize = fit.panel;
}

std::optional<platform::ScreenInfo> HUDController::Impl::fitOnTargetScreen(
    const std::vector<SwitchableItem>& items) {
  auto screen = targetScreen(uses.screens.screens(), uses.screens.pointerLocation());
  if (screen) {
    fitLayout(items, *screen);
    return screen;
  }
  // No screen to fit on: the new list must not be drawn with the rows, widths and stills of the
  // list before it.
  aspects.clear();
  model.setRows({});
  model.setCellWidths({});
  model.setCellThumbs({});
  return screen;
}

void HUDController::Impl::ensurePanel() {
  if (panel) return;
  auto content = std::make_unique<QWidget>(
      nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  content->setObjectName(kPanelName);
  content->setAttribute(Qt::WA_TranslucentBackground);
  content->setAttribute(Qt::WA_ShowWithoutActivating);
  QWidget* root = content.get();
  panel = std::make_unique<PanelWindow>(std::move(content), uses.screenPlacement,
                                        qt::SimScreenLayer::kPopUpMenuLevel);
  const auto made = FrostBackdrop::make(uses.accessibilityDisplay, root);
  frostView = made.view;
  frostFade = made.fade;
  hostingView = new HUDView(model, uses.loop, uses.accessibilityDisplay, uses.badges, uses.thumbnails,
                            uses.favicons, root);
  // Shown explicitly: the root may already count as shown (inside a scaling host).
  frostView->show();
  hostingView->show();
  if (iconProvider) hostingView->setAppIconProvider(iconProvider);
  hostingView->joinBackdrop(frostView);
}

void HUDController::Impl::layout(const platform::ScreenInfo& screen) {
  const Rect frame = placement(panelSize, screen.visibleFrame);
  simulatedFrame = frame;
  panel->place(frame);
  const QRect inner = QRect(QPoint(0, 0), panel->content().size())
                          .adjusted(static_cast<int>(kPanelInset), static_cast<int>(kPanelInset),
                                    -static_cast<int>(kPanelInset), -static_cast<int>(kPanelInset));
  const double radius = HUDMetrics{model.fittedIconSize(), false}.cornerRadius();
  frostView->setGeometry(inner);
  frostView->setCornerRadius(radius);
  // The frost blurs what lies beneath it, when the desktop can say what that is.
  if (uses.desktopPicture) {
    const Rect beneath{frame.x + inner.x(), frame.y + inner.y(), static_cast<double>(inner.width()),
                       static_cast<double>(inner.height())};
    auto picture = uses.desktopPicture->beneath(beneath, 1.0);
    frostView->setBackdrop(picture ? qt::toQImage(*picture) : QImage());
  }
  hostingView->setGeometry(inner);
  FrostBackdrop::resize(*frostFade, inner.width(), inner.height(), radius, frostFadeKey);
}

std::optional<std::int64_t> HUDController::Impl::liveWindow(const SwitchableItem& item) const {
  if (item.windowNumber) return item.windowNumber;
  std::optional<platform::Pid> pid;
  if (item.browser)
    if (auto running = uses.runningApps.first(std::string(browsers::bundleID(*item.browser))))
      pid = running->pid;
  if (!pid) pid = item.pid;
  if (!pid) return std::nullopt;
  if (auto front = uses.windowList.frontWindow(*pid)) return front->windowNumber;
  return std::nullopt;
}

Size HUDController::Impl::drawnPixels() const {
  if (!hostingView) return {};
  const auto cell = hostingView->cell(0);
  if (!cell) return {};
  const Rect picture = cell->pictureRect();
  const double ratio = hostingView->bar()->devicePixelRatioF();
  return {std::ceil(picture.width * ratio), std::ceil(picture.height * ratio)};
}

// The stream is asked for frames about the size the cell draws them at, and may still deliver
// larger ones (asked before the bar was laid out, or a platform keeping a size of its own). Kept
// at the cell's picture size in device pixels, a frame holds a fraction of the memory and is drawn
// without resampling each paint. Before the bar is laid out the frame is kept as it came.
RGBAImage HUDController::Impl::atDrawnSize(const RGBAImage& frame) const {
  const Size drawn = drawnPixels();
  const int width = static_cast<int>(drawn.width);
  const int height = static_cast<int>(drawn.height);
  if (width < 1 || height < 1) return frame;
  // Fitted in the picture's box as the cell fills it: the frame's shorter side may overflow.
  const double cover = std::max(width / static_cast<double>(frame.pixelWidth()),
                                height / static_cast<double>(frame.pixelHeight()));
  if (cover >= 1) return frame;
  return frame.scaled(std::max(1, static_cast<int>(std::ceil(frame.pixelWidth() * cover))),
                      std::max(1, static_cast<int>(std::ceil(frame.pixelHeight() * cover))));
}

void HUDController::Impl::startLivePreview() {
  model.setLiveFrame(std::nullopt);
  model.setLiveItemID(std::nullopt);
  // Whatever streamed for the list before stops here, also when nothing streams now.
  liveStream.stop();
  const auto& items = model.items();
  if (!model.usesThumbnails() || items.empty()) return;
  const SwitchableItem& first = items.front();
  const auto window = liveWindow(first);
  if (!window) return;
  model.setLiveItemID(first.id);
  liveStream.onFrame = [this](const RGBAImage& frame) { model.setLiveFrame(atDrawnSize(frame)); };
  // The start is asynchronous itself; a later show or hide abandons it through its generation.
  if (uses.thumbnails.isAvailable()) liveStream.start(*window, kLivePreviewWidth, drawnPixels());
}

HUDController::HUDController(const Collaborators& collaborators)
    : impl_(std::make_unique<Impl>(collaborators)) {}

HUDController::~HUDController() = default;

HUDModel& HUDController::model() {
  return impl_->model;
}

void HUDController::show(const std::vector<SwitchableItem>& items, int selectedIndex) {
  Impl& d = *impl_;
  const Preferences& preferences = d.uses.preferences;
  // Only access already granted counts: showing the HUD never prompts.
  d.model.setUsesThumbnails(preferences.showThumbnails.get() && d.uses.privacy.screenCapturePreflight());
  const auto screen = d.fitOnTargetScreen(items);
  d.model.setItems(items);
  d.model.setSelectedIndex(selectedIndex);
  d.model.setHoverIndex(std::nullopt);
  d.model.setGlassStyle(preferences.hudGlassStyle.get());
  d.model.setDragEnabled(preferences.dragTabsBetweenWindows.get());
  d.model.endDrag(std::nullopt);
  d.model.setMovedIndex(std::nullopt);
  d.ensurePanel();
  d.releaseFrost.invalidate();
  if (screen) d.layout(*screen);
  FrostBackdrop::tune(d.frostView);
  d.panel->show();
  d.startLivePreview();
}

void HUDController::update(const std::vector<SwitchableItem>& items, int selectedIndex) {
  Impl& d = *impl_;
  d.model.endDrag(std::nullopt);
  d.model.setMovedIndex(std::nullopt);
  if (d.panel) {
    const auto screen = d.fitOnTargetScreen(items);
    d.model.setItems(items);
    d.model.setSelectedIndex(selectedIndex);
    if (screen) d.layout(*screen);
    return;
  }
  d.model.setItems(items);
  d.model.setSelectedIndex(selectedIndex);
}

void HUDController::hide() {
  Impl& d = *impl_;
  d.liveStream.stop();
  d.model.setLiveFrame(std::nullopt);
  d.model.setLiveItemID(std::nullopt);
  d.model.endDrag(std::nullopt);
  d.model.setMovedIndex(std::nullopt);
  if (!d.panel) return;
  d.panel->hide();
  d.releaseFrost = d.uses.loop.after(kFrostKeptAfterHide, [frost = QPointer<FrostBackdropView>(d.frostView)] {
    if (frost) frost->releaseLayer();
  });
}

bool HUDController::isVisible() const {
  return impl_->panel && impl_->panel->isVisible();
}

bool HUDController::panelContains(Point globalTopLeft) const {
  auto frame = panelFrame();
  return isVisible() && frame && frame->contains(globalTopLeft);
}

void HUDController::setAppIconProvider(AppIconProvider provider) {
  impl_->iconProvider = provider;
  if (impl_->hostingView) impl_->hostingView->setAppIconProvider(std::move(provider));
}

std::optional<Rect> HUDController::panelFrame() const {
  if (!impl_->panel) return std::nullopt;
  return impl_->simulatedFrame;
}

std::optional<RGBAImage> HUDController::snapshot(double scale) const {
  QWidget* panel = impl_->panel ? &impl_->panel->content() : nullptr;
  if (!panel || panel->size().isEmpty()) return std::nullopt;
  // Drawn at the scale rather than at an image ratio of it: a ratio below one is not kept.
  QImage image((QSizeF(panel->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    impl_->panel->render(painter, QRectF(QPointF(0, 0), QSizeF(panel->size()) * scale));
  }
  return qt::fromQImage(image);
}

}  // namespace velvix
