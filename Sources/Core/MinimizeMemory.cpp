#include "Core/MinimizeMemory.hpp"

#include <vector>

#include "Platform/UserDefaults.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

void MinimizeMemory::note(const std::string& line) {
  log_.log("dockMinimize memory: " + line);
}

MinimizeMemory::Json MinimizeMemory::stored() {
  auto value = defaults_.object(kKey);
  if (!value) return Json::object();
  if (!value->is_object()) {
    note("dropped a stored value that is no dictionary");
    defaults_.remove(kKey);
    return Json::object();
  }
  // One bad entry must not cost the other applications their records: drop it alone.
  Json kept = Json::object();
  bool dropped = false;
  for (const auto& [bundleID, entry] : value->items()) {
    if (entry.is_object()) {
      kept[bundleID] = entry;
    } else {
      note("dropped the record of " + bundleID + ": it is no dictionary");
      dropped = true;
    }
  }
  if (dropped) write(kept);
  return kept;
}

void MinimizeMemory::write(const Json& dictionary) {
  if (dictionary.empty()) {
    defaults_.remove(kKey);
  } else {
    defaults_.set(kKey, dictionary);
  }
}

std::optional<MinimizeMemory::Json> MinimizeMemory::validRecord(const std::string& bundleID,
                                                                platform::Pid pid) {
  Json all = stored();
  auto entry = all.find(bundleID);
  if (entry == all.end()) return std::nullopt;
  auto storedPid = entry->find("pid");
  if (storedPid != entry->end() && storedPid->is_number_integer() && storedPid->get<std::int64_t>() == pid)
    return *entry;
  if (storedPid == entry->end() || !storedPid->is_number_integer())
    note("dropped the record of " + bundleID + ": its \"pid\" is no whole number");
  // An earlier run of the application: its window numbers mean nothing now.
  all.erase(entry);
  write(all);
  return std::nullopt;
}

std::set<std::int64_t> MinimizeMemory::numbers(const std::string& bundleID, platform::Pid pid,
                                               const char* field) {
  auto record = validRecord(bundleID, pid);
  if (!record) return {};
  auto list = record->find(field);
  if (list == record->end() || !list->is_array()) return {};
  std::set<std::int64_t> result;
  for (const auto& number : *list) {
    if (!number.is_number_integer()) return {};
    result.insert(number.get<std::int64_t>());
  }
  return result;
}

void MinimizeMemory::record(const std::string& bundleID, platform::Pid pid,
                            const std::set<std::int64_t>& windows, const std::set<std::int64_t>& tabmates) {
  Json all = stored();
  all[bundleID] = Json{{"pid", pid},
                       {"windows", std::vector<std::int64_t>(windows.begin(), windows.end())},
                       {"tabmates", std::vector<std::int64_t>(tabmates.begin(), tabmates.end())}};
  write(all);
}

std::set<std::int64_t> MinimizeMemory::windows(const std::string& bundleID, platform::Pid pid) {
  return numbers(bundleID, pid, "windows");
}

std::set<std::int64_t> MinimizeMemory::tabmates(const std::string& bundleID, platform::Pid pid) {
  return numbers(bundleID, pid, "tabmates");
}

void MinimizeMemory::forget(const std::string& bundleID) {
  Json all = stored();
  if (all.erase(bundleID) > 0) write(all);
}

}  // namespace velvix
