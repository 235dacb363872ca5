// velvix_safari_host: loads the Safari extension handler plug-in the way Safari does (dlopen) and
// hands it extension requests, for tests. Each line of standard input is one request's context as
// JSON: {"inputItems":[{"userInfo":{"SFExtensionMessageKey":{...}}}]}; an item may say
// "notExtensionItem": true, and a value {"$date": seconds} or {"$data": "text"} stands for a
// value of that kind, which JSON cannot carry. Each completed request is written to standard
// output as "reply " and the returned item's user information; the plug-in's log lines share
// the same stream, so their order shows. Usage: velvix_safari_host [PLUGIN]

#include <deque>
#include <iostream>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "SafariExtension/Sources/ExtensionContext.h"

namespace {

using nlohmann::json;

// Owns the value tree of one request.
class Values {
 public:
  const VelvixValue* make(const json& value) {
    VelvixValue& out = storage_.emplace_back();
    fill(out, value);
    return &out;
  }

 private:
  void fill(VelvixValue& out, const json& value) {
    out = VelvixValue{};
    if (value.is_object() && value.size() == 1 && value.contains("$date")) {
      out.kind = VelvixValueDate;
      out.number = value["$date"].is_number() ? value["$date"].get<double>() : 0;
    } else if (value.is_object() && value.size() == 1 && value.contains("$data")) {
      out.kind = VelvixValueData;
      const std::string& text =
          strings_.emplace_back(value["$data"].is_string() ? value["$data"].get<std::string>() : "");
      out.bytes = text.data();
      out.length = text.size();
    } else if (value.is_null()) {
      out.kind = VelvixValueNull;
    } else if (value.is_boolean()) {
      out.kind = VelvixValueBoolean;
      out.boolean = value.get<bool>();
    } else if (value.is_number_integer()) {
      out.kind = VelvixValueInteger;
      out.integer = value.get<std::int64_t>();
    } else if (value.is_number()) {
      out.kind = VelvixValueNumber;
      out.number = value.get<double>();
    } else if (value.is_string()) {
      out.kind = VelvixValueString;
      const std::string& text = strings_.emplace_back(value.get<std::string>());
      out.bytes = text.data();
      out.length = text.size();
    } else if (value.is_array()) {
      out.kind = VelvixValueArray;
      auto& items = arrays_.emplace_back(value.size());
      for (std::size_t i = 0; i < value.size(); ++i) fill(items[i], value[i]);
      out.items = items.data();
      out.count = items.size();
    } else {
      out.kind = VelvixValueDictionary;
      auto& keys = arrays_.emplace_back(value.size());
      auto& items = arrays_.emplace_back(value.size());
      std::size_t i = 0;
      for (const auto& [key, element] : value.items()) {
        fill(keys[i], key);
        fill(items[i], element);
        ++i;
      }
      out.keys = keys.data();
      out.items = items.data();
      out.count = value.size();
    }
  }

  std::deque<VelvixValue> storage_;
  std::deque<std::string> strings_;
  std::deque<std::vector<VelvixValue>> arrays_;
};

void complete(void* info, const char* text, std::size_t length) {
  ++*static_cast<int*>(info);
  std::string line = "reply ";
  line.append(text, length);
  line.push_back('\n');
  [[maybe_unused]] auto ignored = ::write(STDOUT_FILENO, line.data(), line.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::string plugin = argc > 1 ? argv[1] : "";
  if (plugin.empty()) {
    const std::string self = argv[0];
    plugin = self.substr(0, self.rfind('/') + 1) + "VelvixSafariExtension.so";
  }
  void* library = ::dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::cerr << "velvix_safari_host: " << ::dlerror() << "\n";
    return 1;
  }
  auto begin = reinterpret_cast<VelvixBeginRequest>(::dlsym(library, VELVIX_EXTENSION_ENTRY));
  if (!begin) {
    std::cerr << "velvix_safari_host: the plug-in has no entry\n";
    return 1;
  }
  ::dup2(STDOUT_FILENO, STDERR_FILENO);  // the plug-in's log lines go with the replies

  std::string line;
  while (std::getline(std::cin, line)) {
    const json request = json::parse(line, nullptr, false);
    Values values;
    std::vector<VelvixInputItem> items;
    if (request.is_object() && request.contains("inputItems") && request["inputItems"].is_array())
      for (const auto& item : request["inputItems"])
        items.push_back({item.value("notExtensionItem", false) ? 0 : 1,
                         item.contains("userInfo") ? values.make(item["userInfo"]) : nullptr});
    int completions = 0;
    const VelvixExtensionContext context{items.size(), items.data(), complete, &completions};
    begin(&context);
    if (completions != 1) std::cerr << "velvix_safari_host: completed " << completions << " times\n";
  }
  return 0;
}
