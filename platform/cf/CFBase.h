// CFBase: the base types of the CoreFoundation stand-in and its reference-counted objects.
// Interface: CFTypeRef, CFIndex, CFRange, CFAllocatorRef (kCFAllocatorDefault ...), CFRetain,
// CFRelease, CFGetRetainCount, CFGetTypeID, and CFRuntimeObject, the base of every object that
// the stand-ins hand out (CFTimeZone, CFString, ...). Objects start with a count of 1 (the
// "Create"/"Copy" rule) and are deleted when CFRelease brings the count to 0.
// Relies on the C++ standard library only. CFRetain/CFRelease of NULL do nothing; the count is
// atomic, so objects may be retained and released on any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/carbon/MacTypes.h"

typedef void const* CFTypeRef;
typedef int32_t CFIndex;  // signed long of the 32-bit platform
typedef uint32_t CFOptionFlags;
typedef uint32_t CFHashCode;
typedef uint32_t CFTypeID;

struct CFRange {
  CFIndex location;
  CFIndex length;
};

inline CFRange CFRangeMake(CFIndex loc, CFIndex len) {
  CFRange r;
  r.location = loc;
  r.length = len;
  return r;
}

enum { kCFNotFound = -1 };

typedef CFIndex CFComparisonResult;
enum { kCFCompareLessThan = -1, kCFCompareEqualTo = 0, kCFCompareGreaterThan = 1 };

// Allocators are accepted and ignored: every object comes from the C++ heap.
struct CFAllocatorOpaque;
typedef CFAllocatorOpaque const* CFAllocatorRef;
#define kCFAllocatorDefault (static_cast<CFAllocatorRef>(nullptr))
extern CFAllocatorRef const kCFAllocatorSystemDefault;
extern CFAllocatorRef const kCFAllocatorMalloc;
extern CFAllocatorRef const kCFAllocatorNull;  // "do not free the bytes" for NoCopy creators

// Type ids of the stand-in's object kinds, for CFGetTypeID.
enum : CFTypeID { kCFRuntimeTypeNone = 0, kCFRuntimeTypeTimeZone = 1, kCFRuntimeTypeString = 2,
                  kCFRuntimeTypeOther = 100 };

// Base of every reference-counted stand-in object. Derive, pass the type id, and hand the new
// object out cast to its opaque ref type; CFRelease deletes it through the virtual destructor.
class CFRuntimeObject {
 public:
  explicit CFRuntimeObject(CFTypeID typeID) : m_intRefCount(1), m_uintTypeID(typeID) {}
  virtual ~CFRuntimeObject() = default;
  CFRuntimeObject(CFRuntimeObject const&) = delete;
  CFRuntimeObject& operator=(CFRuntimeObject const&) = delete;

  CFTypeID TypeID() const { return m_uintTypeID; }
  CFIndex RetainCount() const { return m_intRefCount.load(std::memory_order_acquire); }
  void Retain() const { m_intRefCount.fetch_add(1, std::memory_order_relaxed); }
  // True when this release dropped the last reference.
  bool Release() const { return m_intRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1; }

 private:
  mutable std::atomic<CFIndex> m_intRefCount;
  CFTypeID m_uintTypeID;
};

// A ref handed out by the stand-ins is a CFRuntimeObject seen through an opaque pointer type:
// derive the object from CFRuntimeObject alone (single inheritance, so the object and its base
// share one address) and hand it out as CFRuntimeObjectToRef of it.
inline CFTypeRef CFRuntimeObjectToRef(CFRuntimeObject const* object) {
  return static_cast<void const*>(object);
}
inline CFRuntimeObject const* CFRuntimeObjectFromRef(CFTypeRef cf) {
  return static_cast<CFRuntimeObject const*>(cf);
}

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFIndex CFGetRetainCount(CFTypeRef cf);  // 0 for NULL
CFTypeID CFGetTypeID(CFTypeRef cf);      // kCFRuntimeTypeNone for NULL
