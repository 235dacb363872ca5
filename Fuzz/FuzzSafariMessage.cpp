// The Safari handler's message conversion: the bytes describe a property-list value (each byte
// picks a kind; numbers, strings and counts follow), nested as deep as the bytes go, with every
// kind JSON cannot hold. The conversion either refuses the value or gives JSON that writes out;
// a whole request built around it completes exactly once with a JSON object, whatever the value.
// No application listens in the fuzzer's home folder, so every request takes the default reply.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SafariWebExtensionHandler.hpp"

using velvix::safari::SafariWebExtensionHandler;

namespace {

// Deep enough for any bound the handler may set on nesting; shallow enough for the fuzzer's stack.
constexpr int kMaxBuilderDepth = 2000;

class Builder {
 public:
  Builder(const std::uint8_t* data, std::size_t size) : at_(data), left_(size) {}

  VelvixValue value(int depth) {
    VelvixValue v{};
    const std::uint8_t kind = next();
    v.kind = static_cast<VelvixValueKind>(kind % 9);
    switch (v.kind) {
      case VelvixValueBoolean:
        v.boolean = next();
        break;
      case VelvixValueInteger:
        take(&v.integer, sizeof v.integer);
        break;
      case VelvixValueNumber:
      case VelvixValueDate:
        take(&v.number, sizeof v.number);
        break;
      case VelvixValueString:
      case VelvixValueData: {
        std::size_t length = next();
        if (length == 255) length = static_cast<std::size_t>(next()) << 8 | next();
        length = std::min(length, left_);
        v.bytes = length == 0 && (kind & 0x80) ? nullptr : reinterpret_cast<const char*>(at_);
        v.length = length;
        at_ += length;
        left_ -= length;
        break;
      }
      case VelvixValueArray:
      case VelvixValueDictionary: {
        const std::size_t count = depth >= kMaxBuilderDepth ? 0 : next() % 6;
        auto& items = storage_.emplace_back();
        auto& keys = storage_.emplace_back();
        for (std::size_t i = 0; i < count && left_ > 0; ++i) {
          if (v.kind == VelvixValueDictionary) keys.push_back(next() & 1 ? value(depth + 1) : stringKey());
          items.push_back(value(depth + 1));
        }
        v.count = items.size();
        v.items = items.data();
        v.keys = v.kind == VelvixValueDictionary ? keys.data() : nullptr;
        break;
      }
      case VelvixValueNull:
        break;
    }
    return v;
  }

 private:
  std::uint8_t next() {
    if (left_ == 0) return 0;
    --left_;
    return *at_++;
  }
  void take(void* out, std::size_t size) {
    const std::size_t n = std::min(size, left_);
    std::memcpy(out, at_, n);
    at_ += n;
    left_ -= n;
  }
  VelvixValue stringKey() {
    static const char* const kKeys[] = {"event", "browser", "tabs", "", "\xff\xfe"};
    VelvixValue key{};
    key.kind = VelvixValueString;
    key.bytes = kKeys[next() % 5];
    key.length = std::strlen(key.bytes);
    return key;
  }

  const std::uint8_t* at_;
  std::size_t left_;
  std::deque<std::vector<VelvixValue>> storage_;  // the children, alive as long as the builder
};

struct Answer {
  int calls = 0;
  std::string text;
};

void complete(void* info, const char* json, std::size_t length) {
  auto* answer = static_cast<Answer*>(info);
  ++answer->calls;
  answer->text.assign(json, length);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char home[] = "/tmp/velvix-fuzz-safari-XXXXXX";
  if (::mkdtemp(home)) ::setenv("VELVIX_HOME", home, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Builder builder(data, size);
  const VelvixValue message = builder.value(0);

  if (auto converted = SafariWebExtensionHandler::toJSON(message)) (void)converted->dump();

  VelvixValue key{};
  key.kind = VelvixValueString;
  key.bytes = VELVIX_EXTENSION_MESSAGE_KEY;
  key.length = std::strlen(VELVIX_EXTENSION_MESSAGE_KEY);
  VelvixValue userInfo{};
  userInfo.kind = VelvixValueDictionary;
  userInfo.count = 1;
  userInfo.keys = &key;
  userInfo.items = &message;
  const VelvixInputItem item{1, &userInfo};
  Answer answer;
  const VelvixExtensionContext context{1, &item, complete, &answer};
  SafariWebExtensionHandler().beginRequest(context);
  if (answer.calls != 1) std::abort();
  const auto reply = nlohmann::json::parse(answer.text, nullptr, false);
  if (reply.is_discarded() || !reply.is_object() || !reply.contains(VELVIX_EXTENSION_MESSAGE_KEY))
    std::abort();
  return 0;
}
