// CFDictionary: the CoreFoundation dictionary stand-in, key-value tables kept in insertion
// order. Interface: CFDictionaryRef/CFMutableDictionaryRef, CFDictionaryCreateMutable,
// CFDictionarySetValue, CFDictionaryGetValue, CFDictionaryGetCount, CFDictionaryApplyFunction,
// CFDictionaryGetTypeID, the callbacks kCFTypeDictionaryKeyCallBacks and
// kCFTypeDictionaryValueCallBacks (keys and values are CF objects: retained, keys compared with
// CFEqual), and CFEqual itself (same object, equal strings or equal data).
// Relies on CFBase, CFString and CFData. Never throws: allocation failure answers NULL or
// leaves the dictionary as it was.
#pragma once

#include "platform/cf/CFBase.h"

typedef struct __CFDictionary const* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;

enum : CFTypeID { kCFRuntimeTypeDictionary = 23 };

// True for the same object, two strings with the same units or two data with the same bytes.
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);

struct CFDictionaryKeyCallBacks {
  CFIndex version;
  void const* retain;
  void const* release;
  void const* copyDescription;
  void const* equal;
  void const* hash;
};
struct CFDictionaryValueCallBacks {
  CFIndex version;
  void const* retain;
  void const* release;
  void const* copyDescription;
  void const* equal;
};
// Given these, keys and values are retained and keys compared with CFEqual; given NULL, both
// are plain pointers compared by address.
extern CFDictionaryKeyCallBacks const kCFTypeDictionaryKeyCallBacks;
extern CFDictionaryValueCallBacks const kCFTypeDictionaryValueCallBacks;

typedef void (*CFDictionaryApplierFunction)(void const* key, void const* value, void* context);

CFTypeID CFDictionaryGetTypeID(void);
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 CFDictionaryKeyCallBacks const* keyCallBacks,
                                                 CFDictionaryValueCallBacks const* valueCallBacks);
// Adds the pair, or replaces the value of an equal key in place.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, void const* key, void const* value);
void const* CFDictionaryGetValue(CFDictionaryRef theDict, void const* key);  // NULL when absent
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// Calls applier for every pair in insertion order.
void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier,
                               void* context);
