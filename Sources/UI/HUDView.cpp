#include "UI/HUDView.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QRegion>
#include <QResizeEvent>
#include <QToolTip>

#include "Core/BadgeStore.hpp"
#include "Core/FaviconStore.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/AccessibilityDisplay.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "UI/AppIconImages.hpp"
#include "UI/FrostBackdropView.hpp"
#include "UI/HUDBarAccessible.hpp"
#include "UI/HUDBarLayout.hpp"
#include "UI/HUDDragGhost.hpp"
#include "UI/HUDGlassSurface.hpp"
#include "UI/HUDModel.hpp"
#include "UI/HUDSiteIcons.hpp"

namespace velvix {

namespace {

bool affectsLayout(HUDModel::Property p) {
  using P = HUDModel::Property;
  // The selection too: a row wider than the panel scrolls to keep the selected cell in view.
  return p == P::items || p == P::rows || p == P::cellWidths || p == P::fittedIconSize ||
         p == P::usesThumbnails || p == P::dragEnabled || p == P::selectedIndex;
}

}  // namespace

class HUDView::Bar final : public QWidget, public HUDAccessibleElements {
 public:
  Bar(HUDModel& model, platform::MainLoop& loop, const platform::AccessibilityDisplay& display,
      const BadgeStore& badges, const ThumbnailStore& thumbnails, FaviconStore& favicons)
      : model_(model),
        loop_(loop),
        display_(display),
        badges_(badges),
        thumbnails_(thumbnails),
        siteIcons_(&favicons) {
    HUDBarAccessible::install();
    setObjectName(kBarName);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    siteIcons_.onChange = [this] { update(); };
  }

  AppIconImages& icons() { return icons_; }
  const std::map<int, Rect>& frames() const { return frames_; }

  void modelChanged(HUDModel::Property property) {
    using P = HUDModel::Property;
    if (property == P::selectedIndex || property == P::hoverIndex) {
      // A step of the selection (or the pointer) changes two cells, their titles with them: only
      // they are repainted, unless the step scrolled a long row and every cell moved.
      if (property == P::selectedIndex && scrolls_) {
        const auto before = frames_;
        relayout();
        if (frames_ != before) {
          shownSelection_ = model_.selectedIndex();
          shownHover_ = model_.hoverIndex();
          update();
          return;
        }
      }
      std::optional<int>& shown = property == P::selectedIndex ? shownSelection_ : shownHover_;
      const std::optional<int> now =
          property == P::selectedIndex ? std::optional<int>(model_.selectedIndex()) : model_.hoverIndex();
      if (shown != now) {
        // Among stills the selection is only the ring: the pictures inside it stay as they are.
        const bool ringOnly = property == P::selectedIndex && model_.usesThumbnails();
        for (const std::optional<int>& index : {shown, now})
          if (index) update(ringOnly ? ringBounds(*index) : paintBounds(*index));
        shown = now;
      }
      return;
    }
    if (property == P::items) {
      siteIcons_.follow(model_.items());
      // A new list: icons are asked for again, and pictures nobody holds any more are let go. A
      // picture still held keeps its wrapping, so its scaled copies from earlier lists are found
      // in the pixmap cache again.
      icons_.forgetProvided();
      // (The entry holds the pixels twice: its own reference and its QImage's.)
      std::erase_if(wrapped_, [](const auto& entry) { return entry.second.bits.use_count() <= 2; });
    }
    if (property == P::dragIndex || property == P::items) followDragSource();
    if (affectsLayout(property)) relayout();
    shownSelection_ = model_.selectedIndex();
    shownHover_ = model_.hoverIndex();
    update();
  }

  // The cell's shape at its place in the bar: its size and where its title may go.
  HUDCell shape(int index) const {
    HUDCell cell;
    cell.metrics = {model_.fittedIconSize(), model_.usesThumbnails()};
    const auto i = static_cast<std::size_t>(index);
    if (i < model_.cellWidths().size()) cell.frozenWidth = model_.cellWidths()[i];
    if (auto frame = frames_.find(index); frame != frames_.end()) {
      const double hpad = cell.metrics.hpad();
      cell.titleLimits = std::pair{hpad - frame->second.x, width() - hpad - frame->second.x};
    }
    return cell;
  }

  // Where the cell draws, glows and its title included, in the bar's coordinates.
  QRect paintBounds(int index) const {
    auto frame = frames_.find(index);
    if (frame == frames_.end()) return {};
    const HUDCell cell = shape(index);
    const Size size = cell.size();
    const double m = HUDCell::kLayerMargin;
    QRectF bounds(0, 0, size.width, size.height);
    // Only icon cells draw a title under them; a thumbnail cell's title is in its header.
    if (!cell.metrics.thumbnails) {
      const Rect title = cell.titleRect();
      bounds = bounds.united(QRectF(title.x, title.y, title.width, title.height));
    }
    return bounds.adjusted(-m, -m, m, m).translated(frame->second.x, frame->second.y).toAlignedRect();
  }

  // Where the cell draws as it is now. A thumbnail cell that is neither highlighted nor part of a
  // drag draws no glow, and without a Dock badge nothing past its frame: a step of the selection
  // beside it then leaves it alone instead of drawing all of it clipped away.
  QRect drawnBounds(int index, const Rect& frame) const {
    const auto i = static_cast<std::size_t>(index);
    const auto& items = model_.items();
    const bool plain = model_.usesThumbnails() && i < items.size() && model_.selectedIndex() != index &&
                       model_.hoverIndex() != index && dragRole(model_, index) == HUDDragRole::none &&
                       !fades_.contains(items[i].id) && !badges_.badge(items[i]);
    if (!plain) return paintBounds(index);
    return QRectF(frame.x, frame.y, frame.width, frame.height).adjusted(-3, -3, 3, 3).toAlignedRect();
  }

  // Where the selection ring of a thumbnail cell draws, its glow included. One rectangle rather
  // than the ring's band: the window system paints it as one run of pixels per row (and that of
  // the neighbour as well, as their rings overlap), where a band would cost four.
  QRect ringBounds(int index) const {
    auto frame = frames_.find(index);
    if (frame == frames_.end()) return {};
    const Rect c = shape(index).contentFrame();
    const double reach = HUDCell::kRingOuterReach + 1;
    return QRectF(frame->second.x + c.x, frame->second.y + c.y, c.width, c.height)
        .adjusted(-reach, -reach, reach, reach)
        .toAlignedRect();
  }

  void relayout() {
    const HUDMetrics metrics{model_.fittedIconSize(), model_.usesThumbnails()};
    frames_ = HUDBarLayout::cellFrames(
        metrics, model_.rows(), static_cast<int>(model_.items().size()), model_.cellWidths(),
        {static_cast<double>(width()), static_cast<double>(height())}, model_.selectedIndex());
    // Only rows wider or taller than the bar move with the selection; otherwise a step leaves
    // every frame.
    const double hpad = metrics.hpad(), right = width() - hpad;
    const double top = metrics.vpad() + metrics.extraTop();
    const double bottom = height() - metrics.vpad() - metrics.extraBottom();
    scrolls_ = std::any_of(frames_.begin(), frames_.end(), [&](const auto& entry) {
      return entry.second.x < hpad - 0.5 || entry.second.maxX() > right + 0.5 || entry.second.y < top - 0.5 ||
             entry.second.maxY() > bottom + 0.5;
    });
    // Frames are collected only where tabs may be dragged.
    if (model_.dragEnabled()) model_.cellFrames = frames_;
  }

  // The parts of the bar that opaque stills cover whole, in whole points: nothing beneath them
  // shows, so the frost need not be drawn there. A live frame, a fading cell and a still with
  // any transparent pixel cover nothing; the rounded corners, and a point more, are left out.
  QRegion opaqueRegion() {
    QRegion covered;
    if (!model_.usesThumbnails()) return covered;
    const auto& items = model_.items();
    const auto& thumbs = model_.cellThumbs();
    for (const auto& [index, frame] : frames_) {
      const auto i = static_cast<std::size_t>(index);
      if (i >= items.size() || i >= thumbs.size() || !thumbs[i]) continue;
      if (model_.liveFrame() && model_.liveItemID() == items[i].id) continue;
      HUDCell cell = shape(index);
      cell.dragRole = dragRole(model_, index);
      if (auto fade = fades_.find(items[i].id); fade != fades_.end())
        cell.opacity = fade->second.at(uptime());
      if (cell.effectiveOpacity() < 1 || !isOpaque(*thumbs[i])) continue;
      const Rect picture = cell.pictureRect();
      const double inset = cell.metrics.pictureCornerRadius() + 1;
      const QRectF inside = QRectF(frame.x + picture.x, frame.y + picture.y, picture.width, picture.height)
                                .adjusted(inset, inset, -inset, -inset);
      if (inside.width() < 1 || inside.height() < 1) continue;
      covered +=
          QRect(QPoint(static_cast<int>(std::ceil(inside.left())), static_cast<int>(std::ceil(inside.top()))),
                QPoint(static_cast<int>(std::floor(inside.right())) - 1,
                       static_cast<int>(std::floor(inside.bottom())) - 1));
    }
    return covered;
  }

  std::optional<HUDCell> cell(int index) {
    const auto& items = model_.items();
    if (index < 0 || index >= static_cast<int>(items.size())) return std::nullopt;
    const auto i = static_cast<std::size_t>(index);
    HUDCell cell = shape(index);
    cell.item = items[i];
    cell.isSelected = model_.selectedIndex() == index;
    cell.isHovered = model_.hoverIndex() == index;
    cell.dragRole = dragRole(model_, index);
    if (i < model_.cellThumbs().size() && model_.cellThumbs()[i])
      cell.frozenThumb = wrapped(*model_.cellThumbs()[i]);
    if (model_.liveFrame() && model_.liveItemID() == cell.item.id)
      cell.liveThumb = qt::toQImage(*model_.liveFrame());
    cell.closable = model_.usesThumbnails() && !HUDCell::isAuxiliary(cell.item);
    if (auto fade = fades_.find(cell.item.id); fade != fades_.end()) cell.opacity = fade->second.at(uptime());
    const bool isApp = cell.item.kind == ItemKind::app;
    cell.appIcon = icons_.icon(cell.item.bundleID, isApp ? cell.item.pid : std::nullopt);
    if (auto site = siteIcons_.icon(cell.item.id)) cell.siteIcon = wrapped(*site);
    cell.dockBadge = badges_.badge(cell.item);
    cell.headerTitle = cell.item.title;
    if (isApp)
      if (const auto* cached = thumbnails_.entry(cell.item.id))
        if (cached->title && !cached->title->empty()) cell.headerTitle = *cached->title;
    return cell;
  }

 protected:
  void resizeEvent(QResizeEvent*) override { relayout(); }

  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    const bool reduceTransparency = display_.reduceTransparency();
    // Of a list longer than the bar holds, only the cells in view are looked at: a cell draws
    // within its glow's margin and a title at most a cell wide and high past its frame.
    const QRectF changed = event->rect();
    const double m = HUDCell::kLayerMargin;
    for (const auto& [index, frame] : frames_) {
      const QRectF reach =
          QRectF(frame.x, frame.y, frame.width, frame.height)
              .adjusted(-frame.width - m, -frame.height - m, frame.width + m, frame.height + m);
      if (!changed.intersects(reach)) continue;
      if (!event->region().intersects(drawnBounds(index, frame))) continue;  // nothing of it changed
      auto drawn = cell(index);
      if (!drawn) continue;
      painter.save();
      painter.translate(frame.x, frame.y);
      drawn->paint(painter, reduceTransparency);
      painter.restore();
    }
    paintGhost(painter, reduceTransparency);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    const Point p = pointOf(event);
    press_ = Press{HUDBarLayout::cellAt(frames_, p), p};
    if (press_->index) {
      press_->itemID = model_.items()[static_cast<std::size_t>(*press_->index)].id;
      press_->onClose = closeControlAt(*press_->index, p);
    }
    model_.gesturePressed();
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    const Point p = pointOf(event);
    followHover(p);
    if (!press_ || !press_->index) return;
    const int index = *press_->index;
    if (!press_->dragging && !press_->onClose && model_.isDraggable(index) &&
        std::hypot(p.x - press_->start.x, p.y - press_->start.y) >= kDragThreshold)
      press_->dragging = true;
    if (press_->dragging) model_.gestureMoved(index, p);
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !press_) return;
    const Press press = *press_;
    press_.reset();
    const Point p = pointOf(event);
    if (!press.index) return;
    const int index = *press.index;
    if (press.dragging) {
      model_.gestureReleased(index, p);
      return;
    }
    // A click ends where it began; if the list changed meanwhile, the cell holds another entry.
    if (!holds(index, press.itemID)) return;
    if (press.onClose) {
      if (closeControlAt(index, p) && model_.onClose) model_.onClose(index);
    } else if (HUDBarLayout::cellAt(frames_, p) == index && model_.onCommit) {
      model_.onCommit(index);
    }
  }

  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const Point p{help->pos().x() * 1.0, help->pos().y() * 1.0};
    if (auto text = helpTextAt(p))
      QToolTip::showText(help->globalPos(), QString::fromStdString(*text), this);
    else
      QToolTip::hideText();
    return true;
  }

  void leaveEvent(QEvent*) override {
    if (auto hovered = model_.hoverIndex()) model_.hoverLeft(*hovered);
  }

 public:
  // Each cell, then its minimized badge and close control, as assistive technologies see them.
  std::vector<Element> accessibleElements() const override {
    auto* self = const_cast<Bar*>(this);
    std::vector<Element> elements;
    auto rectOf = [](const Rect& r, const Rect& frame) {
      return QRectF(frame.x + r.x, frame.y + r.y, r.width, r.height).toAlignedRect();
    };
    for (const auto& [index, frame] : frames_) {
      auto drawn = self->cell(index);
      if (!drawn) continue;
      elements.push_back({QAccessible::ListItem,
                          QString::fromStdString(drawn->accessibilityLabel()),
                          {},
                          rectOf({0, 0, frame.width, frame.height}, frame)});
      if (auto label = drawn->minimizedBadgeLabel())
        elements.push_back({QAccessible::StaticText, QString::fromStdString(*label), "Minimized",
                            rectOf(*drawn->minimizedBadgeRect(), frame)});
      if (auto label = drawn->closeControlLabel())
        elements.push_back({QAccessible::Button, QString::fromStdString(*label), "Close",
                            rectOf(*drawn->closeControlRect(), frame)});
    }
    return elements;
  }

  std::optional<std::string> helpTextAt(Point p) {
    const auto index = HUDBarLayout::cellAt(frames_, p);
    if (!index) return std::nullopt;
    auto drawn = cell(*index);
    const Rect frame = frames_.at(*index);
    return drawn ? drawn->helpText({p.x - frame.x, p.y - frame.y}) : std::nullopt;
  }

 private:
  // The dragged cell's fade: from one opacity to another over the fade's duration, easing out.
  struct Fade {
    double from = 1, to = 1, start = 0;
    double at(double now) const {
      return from + (to - from) * HUDCell::easeOut((now - start) / HUDCell::kSourceFadeDuration);
    }
    bool done(double now) const { return now - start >= HUDCell::kSourceFadeDuration; }
  };

  double uptime() const { return loop_.uptime(); }

  // When the dragged entry changes, the old one fades back in and the new one out.
  void followDragSource() {
    std::optional<std::string> source;
    if (auto drag = model_.dragIndex(); drag && *drag >= 0 && *drag < static_cast<int>(model_.items().size()))
      source = model_.items()[static_cast<std::size_t>(*drag)].id;
    if (source == dragSource_) return;
    const double now = uptime();
    auto startFade = [&](const std::string& id, double from, double to) {
      if (auto running = fades_.find(id); running != fades_.end()) from = running->second.at(now);
      fades_[id] = Fade{from, to, now};
    };
    if (dragSource_) startFade(*dragSource_, HUDCell::kSourceOpacity, 1.0);
    if (source) startFade(*source, 1.0, HUDCell::kSourceOpacity);
    dragSource_ = source;
    if (!fadeTimer_.isValid())
      fadeTimer_ = loop_.every(1.0 / 60, [this] {
        const double t = uptime();
        std::erase_if(fades_, [&](const auto& fade) { return fade.second.done(t); });
        if (fades_.empty()) fadeTimer_.invalidate();
        update();
      });
  }

  struct Press {
    std::optional<int> index;
    Point start;
    std::string itemID;  // the entry in the cell when the button went down
    bool onClose = false;
    bool dragging = false;
  };

  static Point pointOf(const QMouseEvent* event) { return {event->position().x(), event->position().y()}; }

  // The same picture for the same pixels while the list is shown: the cell's scaled copy of it
  // is then found in the pixmap cache instead of being scaled again on every frame. Holding the
  // pixels keeps their address from being reused by another picture meanwhile.
  QImage wrapped(const RGBAImage& image) { return wrapping(image).image; }

  // The picture's entry, made the first time it is asked for.
  struct Wrapped;
  Wrapped& wrapping(const RGBAImage& image) {
    const WrapKey key{image.bits(), image.pixelWidth(), image.pixelHeight(), image.bytesPerRow()};
    auto found = wrapped_.find(key);
    if (found == wrapped_.end())
      found = wrapped_.emplace(key, Wrapped{image.sharedBits(), qt::toQImage(image)}).first;
    return found->second;
  }

  // Whether every pixel of the picture is opaque; looked at once while the list holds it.
  bool isOpaque(const RGBAImage& image) {
    Wrapped& entry = wrapping(image);
    if (!entry.opaque) {
      bool opaque = true;
      for (int y = 0; opaque && y < image.pixelHeight(); ++y) {
        const std::uint8_t* row = image.row(y);
        for (int x = 0; x < image.pixelWidth(); ++x) opaque &= row[x * RGBAImage::kBytesPerPixel + 3] == 255;
      }
      entry.opaque = opaque;
    }
    return *entry.opaque;
  }

  void followHover(Point p) {
    const auto under = HUDBarLayout::cellAt(frames_, p);
    const auto hovered = model_.hoverIndex();
    if (under == hovered) return;
    if (hovered) model_.hoverLeft(*hovered);
    if (under) model_.setHoverIndex(under);
  }

  bool holds(int index, const std::string& itemID) const {
    const auto& items = model_.items();
    return index >= 0 && index < static_cast<int>(items.size()) &&
           items[static_cast<std::size_t>(index)].id == itemID;
  }

  bool closeControlAt(int index, Point p) {
    auto frame = frames_.find(index);
    auto drawn = cell(index);
    return frame != frames_.end() && drawn &&
           drawn->closeControlContains({p.x - frame->second.x, p.y - frame->second.y});
  }

  void paintGhost(QPainter& painter, bool reduceTransparency) {
    const auto drag = model_.dragIndex();
    const auto location = model_.dragLocation();
    if (!drag || !location || *drag < 0 || *drag >= static_cast<int>(model_.items().size())) return;
    HUDDragGhost ghost;
    ghost.item = model_.items()[static_cast<std::size_t>(*drag)];
    ghost.accepted = model_.dropIndex().has_value();
    ghost.appIcon = icons_.icon(ghost.item.bundleID, std::nullopt);
    ghost.paint(painter, *location, reduceTransparency);
  }

  HUDModel& model_;
  platform::MainLoop& loop_;
  const platform::AccessibilityDisplay& display_;
  const BadgeStore& badges_;
  const ThumbnailStore& thumbnails_;
  AppIconImages icons_;
  HUDSiteIcons siteIcons_;
  std::map<int, Rect> frames_;
  std::optional<Press> press_;
  using WrapKey = std::tuple<const void*, int, int, std::size_t>;
  struct Wrapped {
    std::shared_ptr<const std::uint8_t> bits;
    QImage image;
    std::optional<bool> opaque;  // every pixel is, once looked at
  };
  std::map<WrapKey, Wrapped> wrapped_;
  std::optional<int> shownSelection_;  // the highlighted cells as last painted
  std::optional<int> shownHover_;
  bool scrolls_ = false;  // a row is wider than the bar, so a selection step may move every cell
  std::optional<std::string> dragSource_;
  std::map<std::string, Fade> fades_;
  platform::Timer fadeTimer_;
};

struct HUDView::Subscriptions {
  Subscription model;
  Subscription badges;
};

// The pictures the cells compose at the screen's pixels stay in the pixmap cache from one chord
// to the next, so a chord's first frame copies what the last one composed. The cache is bounded
// in bytes and lets the least recently used go first when full; left unused it trims itself a
// quarter a minute. A large HUD at 2x needs some 20 MB: the default limit would evict and
// recompose on every frame.
constexpr int kPictureCacheKB = 32 * 1024;

HUDView::HUDView(HUDModel& model, platform::MainLoop& loop, const platform::AccessibilityDisplay& display,
                 BadgeStore& badges, const ThumbnailStore& thumbnails, FaviconStore& favicons,
                 QWidget* parent)
    : QWidget(parent), model_(model), subscriptions_(std::make_unique<Subscriptions>()) {
  if (QPixmapCache::cacheLimit() < kPictureCacheKB) QPixmapCache::setCacheLimit(kPictureCacheKB);
  setAttribute(Qt::WA_TranslucentBackground);
  bar_ = new Bar(model_, loop, display, badges, thumbnails, favicons);
  const HUDGlassSurface glass{HUDMetrics{model_.fittedIconSize(), false}.cornerRadius(), model_.glassStyle()};
  surface_ = glass.wrap(bar_, loop, display, this);
  subscriptions_->model = model_.observe([this](HUDModel::Property property) {
    if (property == HUDModel::Property::fittedIconSize || property == HUDModel::Property::glassStyle)
      restyle();
    bar_->modelChanged(property);
  });
  subscriptions_->badges = badges.observe([this] { bar_->update(); });
  bar_->modelChanged(HUDModel::Property::items);
}

HUDView::~HUDView() {
  if (backdrop_) {
    backdrop_->setCover(nullptr, {});
    backdrop_->setCovered(nullptr);
  }
}

void HUDView::setAppIconProvider(AppIconProvider provider) {
  bar_->icons().setProvider(std::move(provider));
  bar_->update();
}

QWidget* HUDView::bar() const {
  return bar_;
}

const std::map<int, Rect>& HUDView::cellFrames() const {
  return bar_->frames();
}

std::optional<HUDCell> HUDView::cell(int index) const {
  return bar_->cell(index);
}

void HUDView::resizeEvent(QResizeEvent* event) {
  surface_->setGeometry(QRect(QPoint(0, 0), event->size()));
}

void HUDView::restyle() {
  const HUDGlassSurface glass{HUDMetrics{model_.fittedIconSize(), false}.cornerRadius(), model_.glassStyle()};
  HUDGlassSurface::restyle(surface_, glass);
  joinUnderlay(glass);
}

void HUDView::joinBackdrop(FrostBackdropView* backdrop) {
  backdrop_ = backdrop;
  if (backdrop_)
    backdrop_->setCovered([this] {
      const QPoint offset = bar_->mapTo(window(), QPoint()) - backdrop_->mapTo(window(), QPoint());
      return bar_->opaqueRegion().translated(offset);
    });
  joinUnderlay({HUDMetrics{model_.fittedIconSize(), false}.cornerRadius(), model_.glassStyle()});
}

// Painted into the layer or over it, the veil comes out the same: drawing over is associative.
// The liquid glass's slabs move between the frost and the veil, so there it stays a layer of the
// surface.
void HUDView::joinUnderlay(const HUDGlassSurface& glass) {
  const bool joined = backdrop_ && glass.style != GlassStyle::liquidGlass;
  HUDGlassSurface::setUnderlayBeneath(surface_, joined);
  if (!backdrop_) return;
  if (!joined) return backdrop_->setCover(nullptr, {});
  backdrop_->setCover(
      [glass](QPainter& p, const QRectF& rect, bool reduceTransparency) {
        glass.paintUnderlay(p, rect, reduceTransparency);
      },
      std::to_string(static_cast<int>(glass.style)) + "/" + std::to_string(glass.cornerRadius));
}

}  // namespace velvix
