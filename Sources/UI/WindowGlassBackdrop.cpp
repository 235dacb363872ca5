#include "UI/WindowGlassBackdrop.hpp"

#include <QPainter>
#include <QPalette>

#include "Platform/AccessibilityDisplay.hpp"

namespace velvix {

WindowGlassBackdrop::WindowGlassBackdrop(GlassMaterial material,
                                         const platform::AccessibilityDisplay& accessibility, QWidget* parent)
    : QWidget(parent), material_(material), accessibility_(accessibility) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void WindowGlassBackdrop::setMaterial(GlassMaterial material) {
  if (material == material_.material()) return;
  material_ = FrostedMaterial(material, material_.tuning());
  update();
}

void WindowGlassBackdrop::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  material_.paint(painter, QRectF(rect()), accessibility_.reduceTransparency());
}

void WindowGlassBackdrop::applyDarkGlass(QWidget* window) {
  if (!window) return;
  QPalette dark = window->palette();
  dark.setColor(QPalette::Window, QColor(30, 30, 32));
  dark.setColor(QPalette::WindowText, QColor(235, 235, 240));
  dark.setColor(QPalette::Base, QColor(40, 40, 44));
  dark.setColor(QPalette::AlternateBase, QColor(48, 48, 52));
  dark.setColor(QPalette::Text, QColor(235, 235, 240));
  dark.setColor(QPalette::Button, QColor(52, 52, 56));
  dark.setColor(QPalette::ButtonText, QColor(235, 235, 240));
  // An empty field's hint stays readable on the dark field.
  dark.setColor(QPalette::PlaceholderText, QColor(235, 235, 245, 128));
  window->setPalette(dark);
  window->setAttribute(Qt::WA_TranslucentBackground);
  window->setAutoFillBackground(false);
}

}  // namespace velvix
