// CFBase: reference counting of the CoreFoundation stand-in's objects and its allocator names.
// CFRelease deletes an object when its count reaches 0; NULL is ignored by every call here.
// Relies on CFRuntimeObject (CFBase.h) only; never throws.
#include "platform/cf/CFBase.h"

namespace {
// Distinct addresses for the named allocators; they are never dereferenced.
char g_chrSystemDefaultAllocator;
char g_chrMallocAllocator;
char g_chrNullAllocator;
}  // namespace

CFAllocatorRef const kCFAllocatorSystemDefault =
    reinterpret_cast<CFAllocatorRef>(&g_chrSystemDefaultAllocator);
CFAllocatorRef const kCFAllocatorMalloc = reinterpret_cast<CFAllocatorRef>(&g_chrMallocAllocator);
CFAllocatorRef const kCFAllocatorNull = reinterpret_cast<CFAllocatorRef>(&g_chrNullAllocator);

CFTypeRef CFRetain(CFTypeRef cf) {
  if (cf != nullptr) CFRuntimeObjectFromRef(cf)->Retain();
  return cf;
}

void CFRelease(CFTypeRef cf) {
  if (cf == nullptr) return;
  CFRuntimeObject const* object = CFRuntimeObjectFromRef(cf);
  if (object->Release()) delete object;
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
  return cf == nullptr ? 0 : CFRuntimeObjectFromRef(cf)->RetainCount();
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
  return cf == nullptr ? CFTypeID(kCFRuntimeTypeNone) : CFRuntimeObjectFromRef(cf)->TypeID();
}
