// What the keybindings installer's other operations call, so its text functions (the reader of
// keybindings.json and the block insertion) link without the services: those never call these.
#include "Core/Preferences.hpp"
#include "Support/ConsentQuestion.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

void DebugLog::log(std::string_view) {}
void ConsentQuestion::schedule(double) {}
void ConsentQuestion::closed() {}
void Preferences::store(const std::string&, nlohmann::json) {}

}  // namespace velvix
