#pragma once
// A selectable card of the appearance pane: a picture 96 points high (the named image the
// application carries, or the given fallback view when it carries none), a check mark or an empty
// circle, a title and a subtitle. The whole card is one button; the selected card is tinted and
// outlined in the accent colour.

#include <functional>
#include <string>

#include <QAbstractButton>

namespace velvix {
namespace platform {
class AppResources;
}

class AppearanceOptionCard final : public QAbstractButton {
  Q_OBJECT

 public:
  // `fallback` is taken and shown when `resources` holds no image named `imageName`.
  AppearanceOptionCard(const std::string& title, const std::string& subtitle, const std::string& imageName,
                       const platform::AppResources& resources, QWidget* fallback, QWidget* parent = nullptr);

  void setSelected(bool selected);
  bool isSelected() const { return selected_; }
  // Whether the card shows the fallback view rather than the carried image.
  bool showsFallback() const { return fallback_ != nullptr && fallback_->isVisible(); }
  QWidget* fallback() const { return fallback_; }
  std::function<void()> onSelect;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  static constexpr int kPad = 8;
  static constexpr int kPictureHeight = 96;
  QRect pictureRect() const;

  std::string title_;
  std::string subtitle_;
  QImage image_;
  QWidget* fallback_ = nullptr;
  bool selected_ = false;
};

}  // namespace velvix
