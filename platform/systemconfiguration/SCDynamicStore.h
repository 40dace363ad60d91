// SCDynamicStore: the SystemConfiguration dynamic-store stand-in, limited to what names the
// machine's IPv4 addresses. The state domain holds one IPv4 entity per network interface that is
// up and not a loopback ("State:/Network/Service/<interface>/IPv4", a dictionary whose
// "Addresses" entry is an array of dotted texts), read from getifaddrs().
// Interface: SCDynamicStoreCreate, SCDynamicStoreKeyCreateNetworkServiceEntity,
// SCDynamicStoreCopyMultiple, SCDynamicStoreSetNotificationKeys,
// SCDynamicStoreCreateRunLoopSource and the keys kSCDynamicStoreDomainState, kSCCompAnyRegex,
// kSCEntNetIPv4, kSCPropNetIPv4Addresses. Patterns match the IPv4 entities when they end in
// kSCEntNetIPv4. A change (SCDynamicStoreTesting.h) signals the run-loop source of every store
// with notification keys, and its callback runs on that run loop's thread.
// Relies on the CoreFoundation stand-in. Never throws: failures answer NULL or false.
#pragma once

#include "platform/carbon/Navigation.h"  // CFArray
#include "platform/cf/CFBase.h"
#include "platform/cf/CFDictionary.h"
#include "platform/cf/CFRunLoop.h"
#include "platform/cf/CFString.h"

typedef struct __SCDynamicStore* SCDynamicStoreRef;

enum : CFTypeID { kCFRuntimeTypeDynamicStore = 30 };

struct SCDynamicStoreContext {
  CFIndex version;
  void* info;
  void const* (*retain)(void const* info);
  void (*release)(void const* info);
  void const* copyDescription;
};
typedef void (*SCDynamicStoreCallBack)(SCDynamicStoreRef store, CFArrayRef changedKeys, void* info);

extern CFStringRef const kSCDynamicStoreDomainState;
extern CFStringRef const kSCCompAnyRegex;
extern CFStringRef const kSCEntNetIPv4;
extern CFStringRef const kSCPropNetIPv4Addresses;

SCDynamicStoreRef SCDynamicStoreCreate(CFAllocatorRef allocator, CFStringRef name,
                                       SCDynamicStoreCallBack callout,
                                       SCDynamicStoreContext* context);
// domain + "/Network/Service/" + serviceID + "/" + entity.
CFStringRef SCDynamicStoreKeyCreateNetworkServiceEntity(CFAllocatorRef allocator,
                                                        CFStringRef domain, CFStringRef serviceID,
                                                        CFStringRef entity);
// The entities whose keys are given or match a pattern; NULL when none does.
CFDictionaryRef SCDynamicStoreCopyMultiple(SCDynamicStoreRef store, CFArrayRef keys,
                                           CFArrayRef patterns);
Boolean SCDynamicStoreSetNotificationKeys(SCDynamicStoreRef store, CFArrayRef keys,
                                          CFArrayRef patterns);
CFRunLoopSourceRef SCDynamicStoreCreateRunLoopSource(CFAllocatorRef allocator,
                                                     SCDynamicStoreRef store, CFIndex order);
