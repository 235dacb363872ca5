#include "Bridge/SafariScriptHost.hpp"

#include <cmath>

#include "Bridge/AppleScriptLibrary.hpp"
#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

SafariScriptHost::SafariScriptHost(platform::Workspace& workspace, RunningApps& runningApps,
                                   platform::MainLoop& loop, DebugLog& log,
                                   platform::InProcessScripts& engine)
    : workspace_(workspace),
      runningApps_(runningApps),
      loop_(loop),
      log_(log),
      engine_(engine),
      queue_(engine.makeSerialQueue(kQueueLabel)) {}

SafariScriptHost::~SafariScriptHost() = default;

std::string SafariScriptHost::describe(const platform::ScriptErrorDictionary& error) {
  if (!error) return "unknown";
  return (error->number ? std::to_string(*error->number) : std::string("?")) + " " +
         error->message.value_or("");
}

void SafariScriptHost::start() {
  warm();
  const std::string safari(browsers::bundleID(Browser::safari));
  launches_ = workspace_.notificationCenter().observe(
      platform::WorkspaceNotification::kDidLaunchApplication, loop_,
      [this, safari](const platform::Notification& n) {
        if (!n.userInfo.is_object() || n.userInfo.value("bundleID", std::string()) != safari) return;
        warmTimer_ = loop_.after(kWarmAfterLaunch, [this] { warm(); });
      });
}

void SafariScriptHost::warm() {
  if (unusable_ || busy_) return;
  if (!runningApps_.first(std::string(browsers::bundleID(Browser::safari)))) return;
  resolve("resolvetab", {}, 0, kWarmURL, kWarmTitle, false, [](auto) {});
}

void SafariScriptHost::resolve(const std::string& handler, const std::vector<std::string>& titles,
                               std::int64_t index, const std::string& url, const std::string& title,
                               bool privateOnly, Completion completion) {
  busy_ = true;
  const double started = loop_.uptime();
  std::vector<platform::ScriptParameter> parameters{titles, handler, std::to_string(index),
                                                    url,    title,   privateOnly};
  queue_->async([engine = &engine_, compiled = compiled_, parameters = std::move(parameters), loop = &loop_,
                 watch = alive_.watch(), this, handler, started, completion = std::move(completion)] {
    Outcome outcome = call(*engine, *compiled, parameters);
    loop->post([watch, this, handler, started, outcome = std::move(outcome), completion] {
      if (!watch.expired()) finish(handler, started, outcome, completion);
    });
  });
}

SafariScriptHost::Outcome SafariScriptHost::call(platform::InProcessScripts& engine, Compiled& compiled,
                                                 const std::vector<platform::ScriptParameter>& parameters) {
  if (!compiled.script) {
    auto script = engine.create(AppleScriptLibrary::safari());
    if (!script) return {Outcome::Kind::compileFailed, "no script object"};
    platform::ScriptErrorDictionary error;
    if (!script->compile(error)) return {Outcome::Kind::compileFailed, describe(error)};
    compiled.script = std::move(script);
  }
  auto result = compiled.script->callSubroutine(kEntryHandler, parameters);
  if (result.failed) return {Outcome::Kind::failed, describe(result.error)};
  return {Outcome::Kind::answered, result.text};
}

void SafariScriptHost::finish(const std::string& handler, double started, const Outcome& outcome,
                              const Completion& completion) {
  busy_ = false;
  const auto ms = std::to_string(static_cast<long long>(std::llround((loop_.uptime() - started) * 1000)));
  switch (outcome.kind) {
    case Outcome::Kind::answered:
      log_.log("safari host: " + handler + " \u2192 " + outcome.text + " in " + ms + "ms");
      completion(std::vector<std::string>{outcome.text});
      return;
    case Outcome::Kind::failed:
      log_.log("safari host: " + handler + " failed in " + ms + "ms: " + outcome.text);
      completion(std::nullopt);
      return;
    case Outcome::Kind::compileFailed:
      unusable_ = true;
      log_.log("safari host: compile failed, using osascript: " + outcome.text);
      completion(std::nullopt);
      return;
  }
}

}  // namespace velvix
