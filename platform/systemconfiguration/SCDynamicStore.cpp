// SCDynamicStore: the IPv4 entities from getifaddrs() (or the addresses a test chose), and
// change notification through a signalled run-loop source per store. The stores with
// notification keys sit in a process-wide list; the signal reaches each one's source and wakes
// the run loops it was scheduled in. Never throws.
#include "platform/systemconfiguration/SCDynamicStore.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/systemconfiguration/SCDynamicStoreTesting.h"

namespace {

CFStringRef MakeString(char const* text) {
  return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

std::string TextOf(CFStringRef text) {
  if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID()) return std::string();
  char buffer[512];
  if (!CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8)) return std::string();
  return buffer;
}

class clsStore : public CFRuntimeObject {
 public:
  clsStore() : CFRuntimeObject(kCFRuntimeTypeDynamicStore) {}
  ~clsStore() override;
  SCDynamicStoreRef Ref() {
    return static_cast<SCDynamicStoreRef>(const_cast<void*>(CFRuntimeObjectToRef(this)));
  }
  SCDynamicStoreCallBack m_fnCallout = nullptr;
  SCDynamicStoreContext m_udtContext{};
  bool m_bolNotifying = false;
  CFRunLoopSourceRef m_udtSource = nullptr;  // not retained: the source retains the store
  std::vector<CFRunLoopRef> m_vecLoops;      // where the source is scheduled
};

struct stcState {
  std::mutex m_mtx;
  bool m_bolOverride = false;
  std::vector<std::string> m_vecAddresses;
  std::vector<clsStore*> m_vecNotifying;
};

stcState& State() {
  static auto* s_udtState = new stcState;
  return *s_udtState;
}

clsStore::~clsStore() {
  {
    std::lock_guard<std::mutex> guard(State().m_mtx);
    auto& list = State().m_vecNotifying;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  if (m_udtContext.release != nullptr) m_udtContext.release(m_udtContext.info);
}

clsStore* StoreOf(SCDynamicStoreRef store) {
  if (store == nullptr || CFGetTypeID(store) != kCFRuntimeTypeDynamicStore) return nullptr;
  return static_cast<clsStore*>(const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(store)));
}

// (interface, address) of every IPv4 interface that is up and not a loopback.
std::vector<std::pair<std::string, std::string>> Interfaces() {
  std::vector<std::pair<std::string, std::string>> result;
  {
    std::lock_guard<std::mutex> guard(State().m_mtx);
    if (State().m_bolOverride) {
      int n = 0;
      for (auto const& address : State().m_vecAddresses) {
        result.emplace_back("en" + std::to_string(n++), address);
      }
      return result;
    }
  }
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return result;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    char text[INET_ADDRSTRLEN];
    auto* in = reinterpret_cast<sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
    result.emplace_back(entry->ifa_name, text);
  }
  freeifaddrs(list);
  return result;
}

bool MatchesIPv4(std::string const& pattern) {
  std::string const suffix = "/IPv4";
  return pattern.size() >= suffix.size() &&
         pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) == 0 &&
         pattern.compare(0, 6, "State:") == 0;
}

void PerformChange(void* info) {
  auto* store = static_cast<clsStore*>(info);
  if (store->m_fnCallout == nullptr) return;
  CFStringRef key = MakeString("State:/Network/Global/IPv4");
  void const* values[] = {key};
  CFArrayRef changed = CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks);
  store->m_fnCallout(store->Ref(), changed, store->m_udtContext.info);
  CFRelease(changed);
  CFRelease(key);
}

void const* RetainStore(void const* info) {
  CFRetain(CFRuntimeObjectToRef(static_cast<clsStore const*>(info)));
  return info;
}
// Called when the store's source is freed: the store forgets it before letting go.
void ReleaseStore(void const* info) {
  auto* store = const_cast<clsStore*>(static_cast<clsStore const*>(info));
  {
    std::lock_guard<std::mutex> guard(State().m_mtx);
    store->m_udtSource = nullptr;
    store->m_vecLoops.clear();
  }
  CFRelease(CFRuntimeObjectToRef(store));
}

void ScheduleStore(void* info, CFRunLoopRef rl, CFStringRef) {
  auto* store = static_cast<clsStore*>(info);
  std::lock_guard<std::mutex> guard(State().m_mtx);
  store->m_vecLoops.push_back(rl);
}
void CancelStore(void* info, CFRunLoopRef rl, CFStringRef) {
  auto* store = static_cast<clsStore*>(info);
  std::lock_guard<std::mutex> guard(State().m_mtx);
  auto it = std::find(store->m_vecLoops.begin(), store->m_vecLoops.end(), rl);
  if (it != store->m_vecLoops.end()) store->m_vecLoops.erase(it);
}

}  // namespace

CFStringRef const kSCDynamicStoreDomainState = MakeString("State:");
CFStringRef const kSCCompAnyRegex = MakeString("[^/]+");
CFStringRef const kSCEntNetIPv4 = MakeString("IPv4");
CFStringRef const kSCPropNetIPv4Addresses = MakeString("Addresses");

SCDynamicStoreRef SCDynamicStoreCreate(CFAllocatorRef, CFStringRef, SCDynamicStoreCallBack callout,
                                       SCDynamicStoreContext* context) {
  auto* store = new (std::nothrow) clsStore;
  if (store == nullptr) return nullptr;
  store->m_fnCallout = callout;
  if (context != nullptr) {
    store->m_udtContext = *context;
    if (context->retain != nullptr) store->m_udtContext.info = const_cast<void*>(context->retain(context->info));
  }
  return store->Ref();
}

CFStringRef SCDynamicStoreKeyCreateNetworkServiceEntity(CFAllocatorRef, CFStringRef domain,
                                                        CFStringRef serviceID, CFStringRef entity) {
  if (domain == nullptr || serviceID == nullptr) return nullptr;
  std::string key = TextOf(domain) + "/Network/Service/" + TextOf(serviceID);
  if (entity != nullptr) key += "/" + TextOf(entity);
  return MakeString(key.c_str());
}

CFDictionaryRef SCDynamicStoreCopyMultiple(SCDynamicStoreRef storeRef, CFArrayRef keys, CFArrayRef patterns) {
  if (StoreOf(storeRef) == nullptr) return nullptr;
  auto interfaces = Interfaces();
  std::vector<std::string> wanted;
  for (CFIndex i = 0; i < CFArrayGetCount(keys); ++i) {
    wanted.push_back(TextOf(static_cast<CFStringRef>(CFArrayGetValueAtIndex(keys, i))));
  }
  bool anyPattern = false;
  for (CFIndex i = 0; i < CFArrayGetCount(patterns); ++i) {
    if (MatchesIPv4(TextOf(static_cast<CFStringRef>(CFArrayGetValueAtIndex(patterns, i))))) anyPattern = true;
  }
  CFMutableDictionaryRef result = nullptr;
  for (auto const& entry : interfaces) {
    std::string key = "State:/Network/Service/" + entry.first + "/IPv4";
    if (!anyPattern && std::find(wanted.begin(), wanted.end(), key) == wanted.end()) continue;
    if (result == nullptr) {
      result = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                         &kCFTypeDictionaryValueCallBacks);
      if (result == nullptr) return nullptr;
    }
    CFStringRef keyText = MakeString(key.c_str());
    CFStringRef address = MakeString(entry.second.c_str());
    void const* addresses[] = {address};
    CFArrayRef array = CFArrayCreate(nullptr, addresses, 1, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef entity = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (keyText != nullptr && array != nullptr && entity != nullptr) {
      CFDictionarySetValue(entity, kSCPropNetIPv4Addresses, array);
      CFDictionarySetValue(result, keyText, entity);
    }
    if (entity != nullptr) CFRelease(entity);
    if (array != nullptr) CFRelease(array);
    if (address != nullptr) CFRelease(address);
    if (keyText != nullptr) CFRelease(keyText);
  }
  return result;
}

Boolean SCDynamicStoreSetNotificationKeys(SCDynamicStoreRef storeRef, CFArrayRef keys, CFArrayRef patterns) {
  clsStore* store = StoreOf(storeRef);
  if (store == nullptr) return false;
  bool notify = CFArrayGetCount(keys) > 0 || CFArrayGetCount(patterns) > 0;
  std::lock_guard<std::mutex> guard(State().m_mtx);
  auto& list = State().m_vecNotifying;
  list.erase(std::remove(list.begin(), list.end(), store), list.end());
  if (notify) list.push_back(store);
  store->m_bolNotifying = notify;
  return true;
}

CFRunLoopSourceRef SCDynamicStoreCreateRunLoopSource(CFAllocatorRef, SCDynamicStoreRef storeRef, CFIndex order) {
  clsStore* store = StoreOf(storeRef);
  if (store == nullptr) return nullptr;
  CFRunLoopSourceContext context{};
  context.info = store;
  context.retain = RetainStore;
  context.release = ReleaseStore;
  context.schedule = ScheduleStore;
  context.cancel = CancelStore;
  context.perform = PerformChange;
  CFRunLoopSourceRef source = CFRunLoopSourceCreate(nullptr, order, &context);
  if (source == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(State().m_mtx);
  store->m_udtSource = source;
  return source;
}

void SCDynamicStoreTestingSetAddresses(std::vector<std::string> const& addresses) {
  std::lock_guard<std::mutex> guard(State().m_mtx);
  State().m_bolOverride = true;
  State().m_vecAddresses = addresses;
}

void SCDynamicStoreTestingUseRealAddresses() {
  std::lock_guard<std::mutex> guard(State().m_mtx);
  State().m_bolOverride = false;
  State().m_vecAddresses.clear();
}

void SCDynamicStoreTestingSignalChange() {
  std::lock_guard<std::mutex> guard(State().m_mtx);
  for (clsStore* store : State().m_vecNotifying) {
    if (store->m_udtSource == nullptr || !CFRunLoopSourceIsValid(store->m_udtSource)) continue;
    CFRunLoopSourceSignal(store->m_udtSource);
    for (CFRunLoopRef rl : store->m_vecLoops) CFRunLoopWakeUp(rl);
  }
}

int SCDynamicStoreTestingNotifiedStoreCount() {
  std::lock_guard<std::mutex> guard(State().m_mtx);
  return int(State().m_vecNotifying.size());
}
