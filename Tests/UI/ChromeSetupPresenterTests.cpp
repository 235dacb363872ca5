// The set-up card: one run at a time, each outcome's phase and text, the card closing itself
// after success unless a new run took its place, "Close" and "Try Again", and its place on the
// screen; and the written steps for loading the extension by hand.

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>

#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/ChromeSetupWorld.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/ChromeLoadSteps.hpp"
#include "UI/ChromeSetupCard.hpp"
#include "UI/ChromeSetupPresenter.hpp"

namespace velvix {
namespace {

using Outcome = ChromeAutoInstaller::Outcome;
using Kind = ChromeSetupPhase::Kind;

TEST(ChromeSetupPhase, EachOutcomeShowsItsPhaseAndText) {
  EXPECT_EQ(ChromeSetupPhase::of(Outcome::connected(Browser::brave)), ChromeSetupPhase::done());
  EXPECT_EQ(ChromeSetupPhase::of(Outcome::cancelled()), ChromeSetupPhase::cancelled());
  // The step text goes in unchanged, then the browser's application name.
  EXPECT_EQ(
      ChromeSetupPhase::of(Outcome::manual(Browser::brave, "clicking Load unpacked")).text,
      "Stopped at: clicking Load unpacked. Brave Browser is open and the folder path is on your clipboard "
      "\u2014 you can finish with the steps in Settings.");
  // A run that stopped before it copied the path out says nothing of the clipboard.
  EXPECT_EQ(
      ChromeSetupPhase::of(Outcome::manual(Browser::brave, "copying the extension out of the app", false))
          .text,
      "Stopped at: copying the extension out of the app. You can finish with the steps in Settings.");
  EXPECT_EQ(
      ChromeSetupPhase::of(Outcome::noBrowser()).text,
      "Chrome isn\u2019t installed. Install Chrome, Brave, or Edge first \u2014 Safari works without it.");
  EXPECT_EQ(ChromeSetupPhase::cancelled().message(),
            "Nothing was changed. The folder path is still on your clipboard.");
  EXPECT_FALSE(ChromeSetupPhase::working().hasButtons());
  EXPECT_TRUE(ChromeSetupPhase::failed("x").hasButtons());
}

TEST(ChromeSetupPresenter, OneRunAtATimeThenTheCardClosesItselfAfterSuccess) {
  test::ChromeSetupWorld r;
  r.w.launch();
  ChromeSetupPresenter& presenter = *r.w.services().chromeSetup;
  presenter.start();
  EXPECT_TRUE(presenter.isRunning());
  EXPECT_TRUE(presenter.isCardShown());
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::working());
  presenter.dismiss();
  presenter.start();  // pressed again during the run: the card comes back, no second run
  EXPECT_TRUE(presenter.isCardShown());
  for (int i = 0; i < 4000 && presenter.isRunning(); ++i) r.w.pause(0.02);
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::done());
  const auto lines = r.w.debugLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "auto-install: targeting Google Chrome"), 1);

  // Placed centred, its top 12 % of the visible height below the top of the main screen.
  const Rect visible = r.w.desktop.screens().screens().front().visibleFrame;
  const Rect card = presenter.cardFrame();
  EXPECT_DOUBLE_EQ(card.midX(), visible.midX());
  EXPECT_DOUBLE_EQ(card.y, visible.y + 0.12 * visible.height);
  EXPECT_DOUBLE_EQ(card.width, ChromeSetupCard::kWidth);

  r.w.pause(1.7);
  EXPECT_TRUE(presenter.isCardShown());
  r.w.pause(0.15);
  EXPECT_FALSE(presenter.isCardShown());
}

TEST(ChromeSetupPresenter, ANewRunBeforeTheSuccessCardClosesKeepsItsCard) {
  test::ChromeSetupWorld r;
  r.w.launch();
  ChromeSetupPresenter& presenter = *r.w.services().chromeSetup;
  presenter.start();
  for (int i = 0; i < 200 && presenter.isRunning(); ++i) r.w.pause(0.5);
  ASSERT_EQ(presenter.phase(), ChromeSetupPhase::done());
  r.w.pause(1.0);
  presenter.start();  // the extension is connected now: the new run says so in its own card
  r.w.pause(1.0);
  EXPECT_TRUE(presenter.isCardShown());
  EXPECT_EQ(presenter.phase().message(), "The extension is already connected in Google Chrome.");
}

TEST(ChromeSetupPresenter, CloseAfterAFailureThenTryAgainStartsANewRunInANewCard) {
  test::ChromeSetupWorld r;
  r.page.hasLoadUnpacked = false;
  r.w.launch();
  ChromeSetupPresenter& presenter = *r.w.services().chromeSetup;
  presenter.start();
  for (int i = 0; i < 400 && presenter.isRunning(); ++i) r.w.pause(0.5);
  ASSERT_EQ(presenter.phase().kind, Kind::failed);
  auto* card = QApplication::topLevelWidgets().empty() ? nullptr : [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == ChromeSetupCard::kObjectName && w->isVisible()) return w;
    return static_cast<QWidget*>(nullptr);
  }();
  ASSERT_TRUE(card);
  test::saveScreenshot(*card, "chrome-setup-card-failed");
  presenter.dismiss();
  EXPECT_FALSE(presenter.isCardShown());
  r.page.hasLoadUnpacked = true;
  presenter.retry();
  EXPECT_TRUE(presenter.isCardShown());
  for (int i = 0; i < 200 && presenter.isRunning(); ++i) r.w.pause(0.5);
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::done());
}

TEST(ChromeLoadSteps, ShowsFiveNumberedStepsWithTheirBoldRunsWithoutAsterisks) {
  ASSERT_EQ(ChromeLoadSteps::steps().size(), 5u);
  EXPECT_EQ(ChromeLoadSteps::richText(ChromeLoadSteps::steps()[1]),
            "In Chrome (or Brave / Edge), open <b>chrome://extensions</b>.");
  EXPECT_EQ(ChromeLoadSteps::richText("a **<b>** c"), "a <b>&lt;b&gt;</b> c");
  test::ensureQtApplication();
  ChromeLoadSteps view;
  int bold = 0;
  for (auto* label : view.findChildren<QLabel*>()) {
    EXPECT_FALSE(label->text().contains("**"));
    bold += label->text().count("<b>");
  }
  EXPECT_EQ(bold, 7);  // the intro's one run and the six of the steps
  view.setFixedWidth(440);
  test::saveScreenshot(view, "chrome-load-steps");
}

// Light on the dark glass, both alone (the General pane's host sets nothing) and inside a host
// whose own style sheet colours its labels.
TEST(ChromeLoadSteps, LegibleOnTheGlassWhateverTheHostSets) {
  test::ensureQtApplication();
  QWidget plain;
  QWidget styled;
  styled.setStyleSheet("QLabel { color: #303030; }");
  for (QWidget* host : {&plain, &styled}) {
    auto* steps = new ChromeLoadSteps(host);
    host->ensurePolished();
    for (auto* label : steps->findChildren<QLabel*>()) {
      label->ensurePolished();
      EXPECT_GT(label->palette().color(label->foregroundRole()).lightnessF(), 0.8)
          << label->text().toStdString();
    }
  }
}

}  // namespace
}  // namespace velvix
