#include "UI/OnboardingView.hpp"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "UI/ChromeLoadSteps.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsStyle.hpp"

namespace velvix {

namespace {

QLabel* secondary(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(QString::fromStdString(text), parent);
  label->setWordWrap(true);
  label->setStyleSheet("color: rgba(235, 235, 245, 0.62); font-size: 12px;");
  return label;
}

QWidget* stepRow(const OnboardingStep& step, QWidget* parent) {
  auto* row = new QFrame(parent);
  row->setObjectName("OnboardingStep");
  row->setAccessibleName(QString::fromStdString(step.title));
  row->setStyleSheet("QFrame#OnboardingStep { background: rgba(255, 255, 255, 0.08); border-radius: 12px; }");
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(12, 12, 12, 12);
  line->setSpacing(12);
  auto* symbol =
      new QLabel(step.done ? QString::fromUtf8("\u2714") : OnboardingView::glyph(step.symbol), row);
  symbol->setFixedWidth(30);
  symbol->setAlignment(Qt::AlignCenter);
  symbol->setStyleSheet(step.done ? "color: #32d74b; font-size: 22px;"
                                  : "color: rgba(235, 235, 245, 0.6); font-size: 22px;");
  line->addWidget(symbol, 0, Qt::AlignVCenter);
  auto* text = new QVBoxLayout;
  text->setSpacing(2);
  auto* title = new QLabel(QString::fromStdString(step.title), row);
  title->setStyleSheet("color: white; font-weight: 600; font-size: 13px;");
  text->addWidget(title);
  text->addWidget(secondary(step.detail, row));
  line->addLayout(text, 1);
  if (!step.done) {
    auto* button = new QPushButton(QString::fromStdString(step.buttonTitle), row);
    button->setObjectName(QString::fromStdString("OnboardingButton:" + step.title));
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, row, [action = step.action] {
      if (action) action();
    });
    line->addWidget(button, 0, Qt::AlignVCenter);
  }
  return row;
}

}  // namespace

QString OnboardingView::glyph(const std::string& symbol) {
  if (symbol == "figure.wave.circle") return QString::fromUtf8("\u267f");
  if (symbol == "keyboard") return QString::fromUtf8("\u2328");
  if (symbol == "applescript") return QString::fromUtf8("\u270e");
  if (symbol == "apple.terminal") return QString::fromUtf8(">_");
  if (symbol == "rectangle.on.rectangle") return QString::fromUtf8("\u2750");
  if (symbol == "puzzlepiece.extension") return QString::fromUtf8("\u2756");
  return QString::fromUtf8("\u25cb");
}

OnboardingView::OnboardingView(OnboardingModel& model, QWidget* glass, QWidget* parent)
    : QWidget(parent), model_(model), glass_(glass) {
  setObjectName(kObjectName);
  setWindowTitle(model.mode() == OnboardingMode::setup ? "Velvix Setup" : "Velvix Permissions");
  if (glass_) {
    glass_->setParent(this);
    glass_->lower();
  } else {
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(36, 36, 40));
    setPalette(dark);
  }
  // The dark scheme: light text, and the secondary style of the load steps legible on it.
  QPalette text = palette();
  text.setColor(QPalette::WindowText, Qt::white);
  text.setColor(QPalette::PlaceholderText, QColor(235, 235, 245, 158));
  setPalette(text);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(24, 24, 24, 24);
  column->setSpacing(0);

  title_ = new QLabel(QString::fromStdString(model.title()), this);
  title_->setObjectName("OnboardingTitle");
  title_->setStyleSheet("color: white; font-weight: 600; font-size: 20px;");
  column->addWidget(title_);
  column->addSpacing(4);
  subtitle_ = secondary(model.subtitle(), this);
  subtitle_->setStyleSheet("color: rgba(235, 235, 245, 0.62); font-size: 13px;");
  column->addWidget(subtitle_);
  column->addSpacing(16);

  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setStyleSheet("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }");
  SettingsStyle::makeGlassScrollBar(scroll->verticalScrollBar());
  stepsHost_ = new QWidget;
  steps_ = new QVBoxLayout(stepsHost_);
  steps_->setContentsMargins(0, 0, 0, 4);
  steps_->setSpacing(10);
  scroll->setWidget(stepsHost_);
  column->addWidget(scroll, 1);

  column->addSpacing(12);
  auto* footer = new QHBoxLayout;
  footer->addStretch(1);
  auto* done = new QPushButton("Done", this);
  done->setObjectName(kDoneName);
  done->setDefault(true);  // Return presses it
  done->setAutoDefault(true);
  connect(done, &QPushButton::clicked, this, [this] {
    if (onDone) onDone();
  });
  footer->addWidget(done);
  column->addLayout(footer);
  update();
}

void OnboardingView::update() {
  if (shown_ && *shown_ == model_.status()) return;
  shown_ = model_.status();
  rebuild();
}

void OnboardingView::rebuild() {
  while (QLayoutItem* item = steps_->takeAt(0)) {
    if (QWidget* w = item->widget()) {
      w->hide();
      w->setParent(nullptr);  // gone from the view at once, deleted on the loop's next turn
      w->deleteLater();
    }
    delete item;
  }
  for (const OnboardingStep& step : model_.steps()) {
    steps_->addWidget(stepRow(step, stepsHost_));
    // The restart row sits between the permissions and the extensions.
    if (step.id == OnboardingStepID::screenRecording && model_.showsRestartRow()) {
      auto* row = new QWidget(stepsHost_);
      row->setObjectName(kRestartName);
      auto* line = new QHBoxLayout(row);
      line->setContentsMargins(12, 0, 12, 2);
      line->setSpacing(10);
      line->addWidget(secondary(OnboardingModel::kRestartText, row), 1);
      auto* restart = new QPushButton("Restart Velvix", row);
      restart->setAutoDefault(false);
      connect(restart, &QPushButton::clicked, row, [this] { model_.restart(); });
      line->addWidget(restart, 0, Qt::AlignVCenter);
      steps_->addWidget(row);
    }
    if (step.id == OnboardingStepID::chromeExtension && model_.showsLoadSteps()) {
      auto* holder = new QWidget(stepsHost_);
      auto* pad = new QVBoxLayout(holder);
      pad->setContentsMargins(12, 0, 12, 0);
      pad->addWidget(new ChromeLoadSteps(holder));
      steps_->addWidget(holder);
    }
  }
  steps_->addStretch(1);
}

void OnboardingView::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (onClose) onClose();
}

void OnboardingView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (glass_) glass_->setGeometry(rect());
}

}  // namespace velvix
