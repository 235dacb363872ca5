// The plug-in's exported entry: Safari calls it for every message of the extension's script.

#include "ExtensionContext.h"
#include "SafariWebExtensionHandler.hpp"

extern "C" __attribute__((visibility("default"))) void velvix_safari_extension_begin_request(
    const VelvixExtensionContext* context) {
  if (!context) return;
  try {
    velvix::safari::SafariWebExtensionHandler().beginRequest(*context);
  } catch (...) {
    // The request was completed on the way out; nothing may cross into the caller.
  }
}
