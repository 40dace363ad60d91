// CFData and CFDictionary: small reference-counted containers over std::vector.
// Dictionaries keep pairs in insertion order and look keys up linearly: they hold a handful of
// entries. Never throws.
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/cf/CFData.h"
#include "platform/cf/CFDictionary.h"
#include "platform/cf/CFString.h"

namespace {

// Its own copy in m_vecBytes, or the caller's bytes (m_pbytBorrowed), freed with free() on
// release unless they were given with kCFAllocatorNull.
class clsCFData : public CFRuntimeObject {
 public:
  clsCFData() : CFRuntimeObject(kCFRuntimeTypeData) {}
  ~clsCFData() override {
    if (m_bolFreeBorrowed) std::free(const_cast<UInt8*>(m_pbytBorrowed));
  }
  UInt8 const* Bytes() const { return m_pbytBorrowed != nullptr ? m_pbytBorrowed : m_vecBytes.data(); }
  CFIndex Length() const { return m_pbytBorrowed != nullptr ? m_lngBorrowed : CFIndex(m_vecBytes.size()); }

  std::vector<UInt8> m_vecBytes;
  UInt8 const* m_pbytBorrowed = nullptr;
  CFIndex m_lngBorrowed = 0;
  bool m_bolFreeBorrowed = false;
};

class clsCFDictionary : public CFRuntimeObject {
 public:
  clsCFDictionary(bool cfKeys, bool cfValues)
      : CFRuntimeObject(kCFRuntimeTypeDictionary), m_bolCFKeys(cfKeys), m_bolCFValues(cfValues) {}
  ~clsCFDictionary() override {
    for (auto& pair : m_vecPairs) {
      if (m_bolCFKeys) CFRelease(pair.first);
      if (m_bolCFValues) CFRelease(pair.second);
    }
  }
  bool m_bolCFKeys;
  bool m_bolCFValues;
  std::vector<std::pair<void const*, void const*>> m_vecPairs;
};

template <class T>
T* ObjectOf(CFTypeRef ref, CFTypeID type) {
  if (ref == nullptr) return nullptr;
  auto* object = const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(ref));
  if (object->TypeID() != type) return nullptr;
  return static_cast<T*>(object);
}

}  // namespace

CFDictionaryKeyCallBacks const kCFTypeDictionaryKeyCallBacks = {0, nullptr, nullptr, nullptr,
                                                                nullptr, nullptr};
CFDictionaryValueCallBacks const kCFTypeDictionaryValueCallBacks = {0, nullptr, nullptr, nullptr,
                                                                    nullptr};

// ---- CFData ----

CFTypeID CFDataGetTypeID(void) { return kCFRuntimeTypeData; }

CFDataRef CFDataCreate(CFAllocatorRef, UInt8 const* bytes, CFIndex length) {
  if (length < 0 || (length > 0 && bytes == nullptr)) return nullptr;
  auto* data = new (std::nothrow) clsCFData;
  if (data == nullptr) return nullptr;
  try {
    data->m_vecBytes.assign(bytes, bytes + length);
  } catch (...) {
    delete data;
    return nullptr;
  }
  return static_cast<CFDataRef>(CFRuntimeObjectToRef(data));
}

CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef, UInt8 const* bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator) {
  if (length < 0 || (length > 0 && bytes == nullptr)) return nullptr;
  auto* data = new (std::nothrow) clsCFData;
  if (data == nullptr) return nullptr;
  if (length > 0) {
    data->m_pbytBorrowed = bytes;
    data->m_lngBorrowed = length;
    data->m_bolFreeBorrowed = bytesDeallocator != kCFAllocatorNull;
  } else if (bytes != nullptr && bytesDeallocator != kCFAllocatorNull) {
    std::free(const_cast<UInt8*>(bytes));
  }
  return static_cast<CFDataRef>(CFRuntimeObjectToRef(data));
}

CFIndex CFDataGetLength(CFDataRef theData) {
  auto* data = ObjectOf<clsCFData>(theData, kCFRuntimeTypeData);
  return data == nullptr ? 0 : data->Length();
}

UInt8 const* CFDataGetBytePtr(CFDataRef theData) {
  auto* data = ObjectOf<clsCFData>(theData, kCFRuntimeTypeData);
  if (data == nullptr || data->Length() == 0) return nullptr;
  return data->Bytes();
}

// ---- CFDictionary ----

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
  if (cf1 == cf2) return true;
  if (cf1 == nullptr || cf2 == nullptr) return false;
  CFTypeID type = CFGetTypeID(cf1);
  if (type != CFGetTypeID(cf2)) return false;
  if (type == CFStringGetTypeID()) {
    auto s1 = static_cast<CFStringRef>(cf1);
    auto s2 = static_cast<CFStringRef>(cf2);
    CFIndex length = CFStringGetLength(s1);
    if (length != CFStringGetLength(s2)) return false;
    for (CFIndex i = 0; i < length; ++i) {
      if (CFStringGetCharacterAtIndex(s1, i) != CFStringGetCharacterAtIndex(s2, i)) return false;
    }
    return true;
  }
  if (type == kCFRuntimeTypeData) {
    auto d1 = static_cast<CFDataRef>(cf1);
    auto d2 = static_cast<CFDataRef>(cf2);
    CFIndex length = CFDataGetLength(d1);
    return length == CFDataGetLength(d2) &&
           (length == 0 || std::memcmp(CFDataGetBytePtr(d1), CFDataGetBytePtr(d2), size_t(length)) == 0);
  }
  return false;
}

CFTypeID CFDictionaryGetTypeID(void) { return kCFRuntimeTypeDictionary; }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 CFDictionaryKeyCallBacks const* keyCallBacks,
                                                 CFDictionaryValueCallBacks const* valueCallBacks) {
  auto* dict = new (std::nothrow) clsCFDictionary(keyCallBacks != nullptr, valueCallBacks != nullptr);
  if (dict == nullptr) return nullptr;
  return static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFRuntimeObjectToRef(dict)));
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, void const* key, void const* value) {
  auto* dict = ObjectOf<clsCFDictionary>(theDict, kCFRuntimeTypeDictionary);
  if (dict == nullptr) return;
  for (auto& pair : dict->m_vecPairs) {
    bool same = dict->m_bolCFKeys ? CFEqual(pair.first, key) : pair.first == key;
    if (!same) continue;
    if (dict->m_bolCFValues) {
      CFRetain(value);
      CFRelease(pair.second);
    }
    pair.second = value;
    return;
  }
  try {
    dict->m_vecPairs.emplace_back(key, value);
  } catch (...) {
    return;
  }
  if (dict->m_bolCFKeys) CFRetain(key);
  if (dict->m_bolCFValues) CFRetain(value);
}

void const* CFDictionaryGetValue(CFDictionaryRef theDict, void const* key) {
  auto* dict = ObjectOf<clsCFDictionary>(theDict, kCFRuntimeTypeDictionary);
  if (dict == nullptr) return nullptr;
  for (auto const& pair : dict->m_vecPairs) {
    if (dict->m_bolCFKeys ? CFEqual(pair.first, key) : pair.first == key) return pair.second;
  }
  return nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
  auto* dict = ObjectOf<clsCFDictionary>(theDict, kCFRuntimeTypeDictionary);
  return dict == nullptr ? 0 : CFIndex(dict->m_vecPairs.size());
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier,
                               void* context) {
  auto* dict = ObjectOf<clsCFDictionary>(theDict, kCFRuntimeTypeDictionary);
  if (dict == nullptr || applier == nullptr) return;
  auto pairs = dict->m_vecPairs;  // the applier may not change the dictionary, but be safe
  for (auto const& pair : pairs) applier(pair.first, pair.second, context);
}
