#pragma once
/* What Safari hands the extension handler, as a plain C interface: the request's input items,
   each with its user information as a property-list value (which may hold values that JSON cannot
   represent: dates, data, non-finite numbers, non-string keys), and the call that completes the
   request with one returned item. Safari (here: the test host) owns everything it passes in;
   the handler owns nothing of it beyond the call. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VELVIX_EXTENSION_MESSAGE_KEY "SFExtensionMessageKey"
#define VELVIX_EXTENSION_ENTRY "velvix_safari_extension_begin_request"

typedef enum VelvixValueKind {
  VelvixValueNull,
  VelvixValueBoolean,
  VelvixValueInteger,
  VelvixValueNumber,
  VelvixValueString, /* UTF-8 bytes */
  VelvixValueData,
  VelvixValueDate, /* seconds since 2001-01-01 in `number` */
  VelvixValueArray,
  VelvixValueDictionary
} VelvixValueKind;

typedef struct VelvixValue {
  VelvixValueKind kind;
  int boolean;
  int64_t integer;
  double number;
  const char* bytes; /* string or data */
  size_t length;
  size_t count;                    /* entries of an array or a dictionary */
  const struct VelvixValue* items; /* array elements, or dictionary values */
  const struct VelvixValue* keys;  /* dictionary keys, `count` of them */
} VelvixValue;

typedef struct VelvixInputItem {
  int isExtensionItem;         /* 0: some other kind of item */
  const VelvixValue* userInfo; /* NULL: the item has no user information */
} VelvixInputItem;

typedef struct VelvixExtensionContext {
  size_t inputItemCount;
  const VelvixInputItem* inputItems;
  /* Completes the request with one returned item; its user information is given as JSON text
     (the reply under VELVIX_EXTENSION_MESSAGE_KEY). */
  void (*completeRequest)(void* info, const char* userInfoJSON, size_t length);
  void* info;
} VelvixExtensionContext;

/* The plug-in's entry: handles one request and completes it exactly once, on the calling thread. */
typedef void (*VelvixBeginRequest)(const VelvixExtensionContext* context);

#ifdef __cplusplus
}
#endif
