// The steps on the browser's extensions page and in its file panel: what a person would do by
// hand, done through Accessibility and marked key presses, with the user's input locked while
// the path is typed into the panel.

#include "Support/ChromeAutoInstaller.hpp"

#include <memory>

#include "Platform/InputEvent.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/AXElementSearch.hpp"
#include "Support/InputLock.hpp"
#include "Support/SyntheticKeys.hpp"

namespace velvix {
namespace {

using AXElementSearch::containsIgnoringCase;
using platform::AXElement;
namespace Flag = platform::EventFlag;

bool isDeveloperSwitch(const std::string& role, const std::string&, const std::string& label) {
  return (role == "AXCheckBox" || role == "AXSwitch") && containsIgnoringCase(label, "developer mode");
}
bool isLoadUnpacked(const std::string& role, const std::string&, const std::string& label) {
  return role == "AXButton" && containsIgnoringCase(label, "load unpacked");
}
bool isPanel(const std::string& role, const std::string&, const std::string&) {
  return role == "AXSheet" || role == "AXDialog";
}
bool isGoToField(const std::string& role, const std::string& subrole, const std::string&) {
  return (role == "AXTextField" || role == "AXComboBox") && subrole != "AXSearchField";
}
bool isConfirm(const std::string& role, const std::string&, const std::string& label) {
  return role == "AXButton" && (containsIgnoringCase(label, "open") || containsIgnoringCase(label, "select"));
}

// A switch reads as on when its value is a non-zero number or true.
bool isOn(const platform::AXValue& value) {
  if (const auto* flag = std::get_if<bool>(&value)) return *flag;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number != 0;
  if (const auto* real = std::get_if<double>(&value)) return *real != 0;
  return false;
}

}  // namespace

void ChromeAutoInstaller::driveExtensionsPage(const RunPtr& run, platform::Pid pid, int attempt) {
  enableDeveloperMode(run, pid, [this, run, pid, attempt] {
    pressLoadUnpacked(run, pid, [this, run, pid, attempt](AXElement panel) {
      if (!panel) {
        if (attempt >= kPageAttempts) return finish(run, Outcome::manual(run->browser, kStepLoadUnpacked));
        log("no page tree; reloading and retrying");
        SyntheticKeys::press(eventTaps_, SyntheticKeys::keyCode(keyboardLayout_, 'r').value_or(15),
                             Flag::kCommand);
        later(kReloadSettle, [this, run, pid, attempt] { driveExtensionsPage(run, pid, attempt + 1); });
        return;
      }
      if (!inputLockable()) {
        log("no running event tap; skipping panel fill");
        SyntheticKeys::press(eventTaps_, platform::KeyCode::kEscape);
        return finish(run,
                      userCancelled_ ? Outcome::cancelled() : Outcome::manual(run->browser, kStepFolder));
      }
      fillOpenPanel(run, panel);
    });
  });
}

void ChromeAutoInstaller::enableDeveloperMode(const RunPtr& run, platform::Pid pid,
                                              std::function<void()> next) {
  AXElementSearch::search(accessibility_, loop_, applicationElement(pid), loop_.uptime() + kControlBudget,
                          isDeveloperSwitch,
                          [this, next = std::move(next), watch = alive_.watch()](AXElement found) {
                            if (watch.expired()) return;
                            if (!found) {
                              log("no Developer mode toggle found; continuing");
                              return next();
                            }
                            platform::AXValue value;
                            accessibility_.copyAttribute(found, "AXValue", value);
                            if (isOn(value)) {
                              log("Developer mode already on");
                              return next();
                            }
                            accessibility_.performAction(found, platform::AXAction::kPress);
                            log("toggled Developer mode on");
                            later(kDeveloperModeSettle, next);
                          });
}

void ChromeAutoInstaller::pressLoadUnpacked(const RunPtr& run, platform::Pid pid,
                                            std::function<void(AXElement)> next) {
  AXElementSearch::search(accessibility_, loop_, applicationElement(pid), loop_.uptime() + kControlBudget,
                          isLoadUnpacked,
                          [this, run, pid, next = std::move(next), watch = alive_.watch()](AXElement found) {
                            if (watch.expired()) return;
                            if (!found) {
                              log("Load unpacked button not found");
                              return next({});
                            }
                            accessibility_.performAction(found, platform::AXAction::kPress);
                            log("pressed Load unpacked");
                            waitForOpenPanel(run, pid, next);
                          });
}

void ChromeAutoInstaller::waitForOpenPanel(const RunPtr& run, platform::Pid pid,
                                           std::function<void(AXElement)> next) {
  AXElementSearch::search(accessibility_, loop_, applicationElement(pid), loop_.uptime() + kControlBudget,
                          isPanel, [this, next = std::move(next), watch = alive_.watch()](AXElement panel) {
                            if (watch.expired()) return;
                            if (!panel) {
                              log("file panel never appeared");
                              return next({});
                            }
                            log("file panel is up");
                            later(kPanelSettle, [next, panel] { next(panel); });
                          });
}

void ChromeAutoInstaller::fillOpenPanel(const RunPtr& run, AXElement panel) {
  auto aborted = std::make_shared<bool>(false);
  inputLock_->lockInput(kInputLock, [this, aborted, watch = alive_.watch()](bool byEscape) {
    *aborted = true;
    if (byEscape && !watch.expired()) userCancelled_ = true;
  });
  SyntheticKeys::press(eventTaps_, SyntheticKeys::keyCode(keyboardLayout_, 'g').value_or(5),
                       Flag::kCommand | Flag::kShift);
  auto release = [this] {
    if (inputLock_) inputLock_->unlockInput();
  };
  AXElementSearch::search(
      accessibility_, loop_, panel, loop_.uptime() + kFieldBudget, isGoToField,
      [this, run, panel, aborted, release, watch = alive_.watch()](AXElement field) {
        if (watch.expired()) return;
        if (*aborted || !field) {
          log("go-to-folder field never appeared");
          release();
          return afterPanel(run, false);
        }
        const auto error = accessibility_.setAttribute(field, "AXValue", run->folder);
        if (error != platform::AXError::success) {
          log("AX set failed (" + std::to_string(static_cast<int>(error)) + "); typing instead");
          SyntheticKeys::type(eventTaps_, run->folder);
        }
        SyntheticKeys::press(eventTaps_, SyntheticKeys::kReturn);
        later(kFillSettle, [this, run, panel, aborted, release] {
          if (*aborted) {
            release();
            return afterPanel(run, false);
          }
          pressOpen(run, panel, aborted, [this, run, release](bool pressed) {
            release();
            log(std::string("panel fill ") + (pressed ? "confirmed" : "unconfirmed"));
            afterPanel(run, pressed);
          });
        });
      });
}

// An Escape while the button is looked for stops the run before the panel is confirmed, so a
// cancelled run loads nothing; once confirmed, the run goes on to see the extension connect.
void ChromeAutoInstaller::pressOpen(const RunPtr& run, AXElement panel, std::shared_ptr<bool> aborted,
                                    std::function<void(bool)> next) {
  AXElementSearch::search(accessibility_, loop_, panel, loop_.uptime() + kConfirmBudget, isConfirm,
                          [this, aborted, next = std::move(next), watch = alive_.watch()](AXElement button) {
                            if (watch.expired()) return;
                            if (*aborted) return next(false);
                            if (button) {
                              accessibility_.performAction(button, platform::AXAction::kPress);
                            } else {
                              SyntheticKeys::press(eventTaps_, SyntheticKeys::kReturn);
                            }
                            later(kConfirmSettle, [next] { next(true); });
                          });
}

}  // namespace velvix
