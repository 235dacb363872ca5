#include "Platform/Simulated/SimInProcessScripts.hpp"

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimLoopQueue.hpp"
#include "Platform/Simulated/SimScriptTexts.hpp"

namespace velvix::sim {

class SimInProcessScripts::Script final : public platform::CompiledScript {
 public:
  Script(SimInProcessScripts& owner, std::string source) : owner_(owner), source_(std::move(source)) {}

  bool compile(platform::ScriptErrorDictionary& error) override {
    ++owner_.compiles;
    if (owner_.compileFailure) {
      error = *owner_.compileFailure;
      return false;
    }
    if (SimScriptTexts::fingerprint(source_) != SimScriptTexts::kSafariLibrary) {
      error = platform::ScriptError{-2741, "Expected end of line but found unknown token."};
      return false;
    }
    compiled_ = true;
    return true;
  }

  platform::ScriptCallResult callSubroutine(
      const std::string& name, const std::vector<platform::ScriptParameter>& parameters) override {
    ++owner_.calls;
    platform::ScriptCallResult result;
    if (!owner_.failingCalls.empty()) {
      result.failed = true;
      result.error = owner_.failingCalls.front();
      owner_.failingCalls.pop_front();
      return result;
    }
    // The entry takes (titles, handler, index text, URL, title, private flag).
    const auto* titles =
        parameters.size() == 6 ? std::get_if<std::vector<std::string>>(&parameters[0]) : nullptr;
    const std::string* texts[4] = {};
    for (int i = 0; i < 4 && titles; ++i)
      texts[i] = std::get_if<std::string>(&parameters[static_cast<std::size_t>(i) + 1]);
    const bool* privateOnly = titles ? std::get_if<bool>(&parameters[5]) : nullptr;
    if (!compiled_ || name != "hostresolve" || !titles || !texts[0] || !texts[1] || !texts[2] || !texts[3] ||
        !privateOnly) {
      result.failed = true;
      result.error = platform::ScriptError{-1708, "Can\u2019t continue " + name + "."};
      return result;
    }
    SimScriptRequest request;
    request.library = SimScriptRequest::Library::safari;
    request.applicationName = "Safari";
    request.handler = *texts[0] == "closetab" ? "closetab" : "resolvetab";
    request.arguments = {*texts[1], *texts[2], *texts[3], *privateOnly ? "true" : "false"};
    request.windowTitles = *titles;
    auto answer = SimTabScripts(owner_.desktop_).answer(request);
    if (answer.error) {
      result.failed = true;
      result.error = platform::ScriptError{answer.error->number, answer.error->message};
      return result;
    }
    result.text = answer.text;
    return result;
  }

 private:
  SimInProcessScripts& owner_;
  std::string source_;
  bool compiled_ = false;
};

SimInProcessScripts::SimInProcessScripts(SimDesktop& desktop) : desktop_(desktop) {}

std::unique_ptr<platform::TaskQueue> SimInProcessScripts::makeSerialQueue(const std::string&) {
  return std::make_unique<SimLoopQueue>(desktop_.loop(), latency_);
}

std::unique_ptr<platform::CompiledScript> SimInProcessScripts::create(const std::string& source) {
  if (noScriptObject) return nullptr;
  return std::make_unique<Script>(*this, source);
}

}  // namespace velvix::sim
