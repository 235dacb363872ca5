#include "UI/SettingsView.hpp"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "Bridge/BrowserBridge.hpp"
#include "Core/Preferences.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Privacy.hpp"
#include "Support/Browser.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "Support/TerminalApps.hpp"
#include "UI/AppearancePane.hpp"
#include "UI/ControlsPane.hpp"
#include "UI/GeneralPane.hpp"
#include "UI/HUDSymbols.hpp"
#include "UI/HUDView.hpp"
#include "UI/SettingsStyle.hpp"
#include "UI/TerminalPane.hpp"
#include "UI/WindowGlassBackdrop.hpp"

namespace velvix {
namespace {

constexpr int kSidebarWidth = 196;

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? separator : "") + items[i];
  return text;
}

// The sidebar's symbols as line art; the HUD's own set where it has them.
void paintTabSymbol(QPainter& painter, SettingsTab tab, const QRectF& box, const QColor& colour) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF c = box.center();
  switch (tab) {
    case SettingsTab::general:
      HUDSymbols::paint(painter, "gearshape", box, 13, HUDSymbols::Weight::semibold, colour);
      break;
    case SettingsTab::terminal:
      HUDSymbols::paint(painter, "apple.terminal", box, 13, HUDSymbols::Weight::semibold, colour);
      break;
    case SettingsTab::controls: {
      painter.setPen(QPen(colour, 1.3));
      painter.drawRoundedRect(QRectF(c.x() - 7, c.y() - 4.5, 14, 9), 2, 2);
      painter.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap));
      for (int i = -1; i <= 1; ++i) painter.drawPoint(QPointF(c.x() + i * 3.5, c.y() - 1.5));
      painter.drawLine(QPointF(c.x() - 3.5, c.y() + 2), QPointF(c.x() + 3.5, c.y() + 2));
      break;
    }
    case SettingsTab::appearance: {
      painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
      painter.drawLine(QPointF(c.x() + 5, c.y() - 6), QPointF(c.x() - 1, c.y() + 1));
      QPainterPath tip;
      tip.addEllipse(QRectF(c.x() - 6, c.y() + 0.5, 5.5, 5.5));
      painter.fillPath(tip, colour);
      break;
    }
  }
  painter.restore();
}

class SidebarRow final : public QAbstractButton {
 public:
  SidebarRow(SettingsTab tab, QWidget* parent) : QAbstractButton(parent), tab_(tab) {
    setObjectName(QString("settings.tab.") +
                  QString::fromUtf8(settingsTabs::rawValue(tab).data(),
                                    static_cast<int>(settingsTabs::rawValue(tab).size())));
    setText(QString::fromUtf8(settingsTabs::title(tab).data(),
                              static_cast<int>(settingsTabs::title(tab).size())));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedHeight(13 + 2 * 7 + 4);
  }
  bool selected = false;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (selected) {
      QPainterPath back;
      back.addRoundedRect(QRectF(rect()), 7, 7);
      painter.fillPath(back, SettingsStyle::accent());
    }
    const QColor colour = selected ? QColor(Qt::white) : SettingsStyle::primary();
    paintTabSymbol(painter, tab_, QRectF(10, 0, 18, height()), colour);
    painter.setPen(colour);
    painter.setFont(SettingsStyle::font(13, selected ? QFont::DemiBold : QFont::Normal));
    painter.drawText(QRectF(10 + 18 + 10, 0, width() - 48, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
  }

 private:
  SettingsTab tab_;
};

}  // namespace

// The sidebar's panel: a rounded, lighter plate holding one row per tab.
class SettingsView::Sidebar final : public QWidget {
 public:
  explicit Sidebar(SettingsView& view) : QWidget(&view) {
    setObjectName("settings.sidebar");
    setFixedWidth(kSidebarWidth);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 10, 8, 10);
    rows->setSpacing(2);
    for (SettingsTab tab : settingsTabs::kAll) {
      auto* row = new SidebarRow(tab, this);
      connect(row, &QAbstractButton::clicked, this, [&view, tab] { view.selectTab(tab); });
      rows->addWidget(row);
      rows_.push_back(row);
    }
    rows->addStretch(1);
  }
  void select(SettingsTab tab) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      rows_[i]->selected = settingsTabs::kAll[i] == tab;
      rows_[i]->update();
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(plate, 14, 14);
    // A soft dark shadow under the plate, then the plate and its border.
    for (int i = 3; i >= 1; --i) {
      QPainterPath shadow;
      shadow.addRoundedRect(plate.adjusted(-i, -i + 2, i, i + 2), 14 + i, 14 + i);
      painter.fillPath(shadow, QColor::fromRgbF(0, 0, 0, 0.45f / (3 * i)));
    }
    painter.fillPath(path, QColor::fromRgbF(1, 1, 1, 0.16f));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.22f), 1));
    painter.drawPath(path);
  }

 private:
  std::vector<SidebarRow*> rows_;
};

SettingsView::SettingsView(const Collaborators& collaborators, QWidget* parent)
    : QWidget(parent), uses_(collaborators) {
  setObjectName("settings.view");
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kIdealWidth, kIdealHeight);
  WindowGlassBackdrop::applyDarkGlass(this);
  backdrop_ = new WindowGlassBackdrop(GlassMaterial::underWindowBackground, uses_.accessibilityDisplay, this);
  backdrop_->lower();

  auto* line = new QHBoxLayout(this);
  // The sidebar's plate sits 12 points from the window's top, bottom and leading edges.
  line->setContentsMargins(12, 12, 0, 12);
  line->setSpacing(4);
  sidebar_ = new Sidebar(*this);
  line->addWidget(sidebar_);
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName("settings.detail");
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SettingsStyle::makeGlassScrollBar(scroll_->verticalScrollBar());
  // The glass shows through the column: nothing in it paints a background of its own.
  scroll_->setAutoFillBackground(false);
  scroll_->viewport()->setAutoFillBackground(false);
  line->addWidget(scroll_, 1);

  // The initial status.
  const Preferences& p = prefs();
  state_.excludedText = joined(p.excludedBundleIDs.get(), ", ");
  state_.screenRecordingGranted = uses_.privacy.screenCapturePreflight();
  refreshBridgeStatus();
  lastShowThumbnails_ = p.showThumbnails.get();

  bridgeObservation_ = uses_.notifications.observe(BrowserBridge::kStatusChangedNotification,
                                                   [this](const platform::Notification&) {
                                                     refreshBridgeStatus();
                                                     refresh();
                                                   });
  prefsObservation_ = uses_.notifications.observe(
      Preferences::kChangedNotification, [this](const platform::Notification&) { preferencesChanged(); });
  timer_ = uses_.loop.every(
      kTickInterval, [this] { tick(); }, platform::TimerMode::Common);
  showPane();
}

SettingsView::~SettingsView() = default;

Preferences& SettingsView::prefs() const {
  return uses_.preferences;
}

void SettingsView::selectTab(SettingsTab tab) {
  tab_ = tab;
  showPane();
}

// A fresh column for the selected tab, scrolled to its top.
void SettingsView::showPane() {
  sidebar_->select(tab_);
  auto* content = new QWidget;
  content->setObjectName("settings.detail.content");
  content->setAutoFillBackground(false);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(24, 24, 24, 24);
  column->setSpacing(20 - 4);  // the heading sits 4 points closer to the first card
  auto* heading = new QLabel(
      QString::fromUtf8(settingsTabs::title(tab_).data(), static_cast<int>(settingsTabs::title(tab_).size())),
      content);
  heading->setObjectName("settings.heading");
  heading->setFont(SettingsStyle::font(22, QFont::Bold));
  column->addWidget(heading);
  switch (tab_) {
    case SettingsTab::appearance:
      pane_ = new AppearancePane(*this);
      break;
    case SettingsTab::controls:
      pane_ = new ControlsPane(*this);
      break;
    case SettingsTab::terminal:
      pane_ = new TerminalPane(*this);
      break;
    case SettingsTab::general:
      pane_ = new GeneralPane(*this);
      break;
  }
  pane_->setObjectName(QString("settings.pane.") +
                       QString::fromUtf8(settingsTabs::rawValue(tab_).data(),
                                         static_cast<int>(settingsTabs::rawValue(tab_).size())));
  column->addWidget(pane_);
  column->addStretch(1);
  scroll_->setWidget(content);  // the previous column goes with it
  content->setAutoFillBackground(false);
  scroll_->verticalScrollBar()->setValue(0);
}

void SettingsView::refresh() {
  if (pane_) pane_->refresh();
}

bool SettingsView::safariIsActive() const {
  const auto last = uses_.browserBridge.lastSafariEventAt();
  return last && uses_.loop.uptime() - *last < kSafariActiveFor;
}

void SettingsView::refreshBridgeStatus() {
  state_.chromeConnected = uses_.browserBridge.isAnyChromiumConnected();
  state_.safariActive = safariIsActive();
  state_.safariNeedsAccess = uses_.browserBridge.safariNeedsWebsiteAccess();
}

void SettingsView::tick() {
  uses_.browserBridge.refreshExtensionPresence();
  state_.screenRecordingGranted = uses_.privacy.screenCapturePreflight();
  refreshBridgeStatus();
  // Refresh the cached Automation status of every running browser; a check already under way
  // for a browser is not started again.
  for (Browser browser : browsers::all())
    if (uses_.runningApps.first(std::string(browsers::bundleID(browser))))
      uses_.permissions.refreshAutomationStatus(browser);
  ++state_.refreshTick;
  refresh();
}

void SettingsView::preferencesChanged() {
  const bool thumbnails = prefs().showThumbnails.get();
  const bool switchedOn = thumbnails && !lastShowThumbnails_;
  lastShowThumbnails_ = thumbnails;
  if (switchedOn) {
    const bool granted = uses_.privacy.screenCapturePreflight();
    if (!granted) {
      uses_.permissions.requestScreenRecording();
      openSystemSettings(kScreenCapturePane);
    } else {
      uses_.thumbnails.seedVisibleWindows();  // so that previews exist at once
    }
  }
  refresh();
}

void SettingsView::openSystemSettings(const std::string& paneName) {
  uses_.permissions.openSystemSettings(paneName);
}

void SettingsView::setChromeInstallMessage(std::optional<std::string> message) {
  state_.chromeInstallMessage = std::move(message);
  refresh();
}

void SettingsView::setExcludedText(const std::string& text) {
  if (text == state_.excludedText) return;
  state_.excludedText = text;
  commitExclusions();
}

std::vector<std::string> SettingsView::parseExclusions(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string piece = text.substr(start, comma - start);
    const auto first = piece.find_first_not_of(" \t");
    if (first != std::string::npos)
      result.push_back(piece.substr(first, piece.find_last_not_of(" \t") - first + 1));
    start = comma + 1;
  }
  return result;
}

// The field keeps what was typed; only the parsed list is stored, and only when it changed.
void SettingsView::commitExclusions() {
  auto list = parseExclusions(state_.excludedText);
  if (list == prefs().excludedBundleIDs.get()) return;
  prefs().excludedBundleIDs.set(std::move(list));
}

std::string SettingsView::terminalSupportSummary(const std::vector<std::string>& names) {
  if (names.empty()) return "Terminal";
  if (names.size() == 1) return names.front();
  if (names.size() == 2) return names[0] + " and " + names[1];
  std::vector<std::string> head(names.begin(), names.end() - 1);
  return joined(head, ", ") + ", and " + names.back();
}

std::string SettingsView::terminalSupportSummary() const {
  std::vector<std::string> names;
  for (const auto& terminal : TerminalApps::installed(uses_.workspace)) names.push_back(terminal.name);
  return terminalSupportSummary(names);
}

void SettingsView::resizeEvent(QResizeEvent*) {
  backdrop_->setGeometry(rect());
}

}  // namespace velvix
