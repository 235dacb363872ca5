#pragma once
// One card of the Dock preview panel: the window's still as a button (a window symbol when there
// is none) in rounded corners with a thin border, a close button in its top right corner shown
// only while the pointer is on the card, and a "Minimized" badge beside it for a minimized
// window. The pointer on the card gives the still a blue border; hover, select and close go to
// the callbacks. Used only by DockPreviewPanel.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QImage>
#include <QWidget>

#include "Platform/RGBAImage.hpp"

class QAbstractButton;

namespace velvix {

class PreviewCard final : public QWidget {
 public:
  static constexpr double kThumbCornerRadius = 6;
  static constexpr double kBorderWidth = 1;
  static constexpr double kHoverBorderWidth = 3;
  static constexpr double kButtonSize = 18;  // the close button and the badge
  static constexpr double kCloseInset = 5;   // from the card's top and right edges
  static constexpr double kBadgeGap = 6;     // between the badge and the close button
  static constexpr double kCloseSymbolSize = 9;
  static constexpr double kBadgeSymbolSize = 11;
  static constexpr double kCloseOpacity = 0.75;
  static constexpr double kBadgeOpacity = 0.55;
  static constexpr double kPlaceholderSymbolSize = 48;

  PreviewCard(std::int64_t windowNumber, const std::optional<RGBAImage>& image, double width, double height,
              const std::string& tooltip, bool isMinimized, QWidget* parent = nullptr);

  std::int64_t windowNumber() const { return windowNumber_; }
  bool isMinimizedWindow() const { return isMinimizedWindow_; }
  bool isHovered() const { return hovered_; }
  QAbstractButton* thumb() const { return thumb_; }
  QAbstractButton* closeButton() const { return closeButton_; }
  QWidget* minimizedBadge() const { return minimizedBadge_; }

  std::function<void()> onSelect;
  std::function<void()> onClose;
  std::function<void(bool)> onHover;

  // The colours of the still's border: at rest, and while the pointer is on the card.
  static QColor separatorColour();
  static QColor hoverColour();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void setHovered(bool hovered);
  void selectClicked();
  void closeClicked();

  std::int64_t windowNumber_;
  bool isMinimizedWindow_;
  bool hovered_ = false;
  QAbstractButton* thumb_ = nullptr;
  QAbstractButton* closeButton_ = nullptr;
  QWidget* minimizedBadge_ = nullptr;
};

}  // namespace velvix
