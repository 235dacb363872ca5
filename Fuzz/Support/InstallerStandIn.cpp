// What the keybindings installer's other operations call, so its text functions (the reader of
// keybindings.json and the block insertion) link without the services: those never call these.
#include "Support/ConsentQuestion.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

void DebugLog::log(std::string_view) {}
ConsentQuestion::ConsentQuestion(Turns& turns, Rank rank, std::function<void()> ask)
    : turns_(turns), rank_(rank), ask_(std::move(ask)) {}
ConsentQuestion::~ConsentQuestion() = default;
void ConsentQuestion::schedule(double) {}
void ConsentQuestion::closed() {}

}  // namespace velvix
