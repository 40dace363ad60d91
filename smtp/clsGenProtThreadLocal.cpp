// clsGenProtThread, local identity: the local IPv4 address and host name, preferring what the
// connected socket says about itself, falling back to the dynamic store's addresses and to the
// system's host name with its aliases. Results are cached until the connection is cleaned up or
// the store reports that the machine's addresses changed. IPv4 only.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "core/DebugLog.h"
#include "platform/netdb/netdb.h"
#include "smtp/clsGenProtThread.h"

namespace {

AnsiString StringText(CFStringRef text) {
  char buffer[256];
  if (text == nullptr || !CFStringGetCString(text, buffer, sizeof buffer, kCFStringEncodingUTF8)) {
    return AnsiString();
  }
  return AnsiString(buffer);
}

AnsiString ErrnoText(int code) {
  return AnsiString(std::strerror(code)) + AnsiString(" (") + AnsiString(code) + AnsiString(")");
}

AnsiString HostErrorText(int code) {
  return AnsiString(hstrerror(code)) + AnsiString(" (") + AnsiString(code) + AnsiString(")");
}

}  // namespace

AnsiString clsGenProtThread::GetLocalIP() {
  clsFuncDebug scope(UniString("GetLocalIP"));
  AnsiString answer;
  if (m_astrLocalIP.Length() > 0 && !(m_astrLocalIP == AnsiString("0.0.0.0"))) {
    answer = m_astrLocalIP;
  } else {
    bool found = false;
    int native = m_udtSocket == nullptr ? -1 : CFSocketGetNative(m_udtSocket);
    if (m_bolConnected && native != -1) {
      sockaddr_in address;
      socklen_t length = sizeof address;
      std::memset(&address, 0, sizeof address);
      if (getsockname(native, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_astrLocalIP = AnsiString(inet_ntoa(address.sin_addr));
        answer = m_astrLocalIP;
        found = true;
      } else {
        scope.Output(kDebugWarning, UniString(AnsiString("getsockname returned an error: ") + ErrnoText(errno)));
      }
    }
    if (!found) {
      GetLocalIPList(nullptr);
      if (m_pulstLocalIPs != nullptr && m_pulstLocalIPs->Count() > 0) answer = m_pulstLocalIPs->Strings[0];
    }
  }
  scope.Output(kDebugResult, UniString(answer));
  return answer;
}

AnsiString clsGenProtThread::GetLocalHost() {
  clsFuncDebug scope(UniString("GetLocalHost"));
  if (m_astrLocalHost.Length() > 0) {
    scope.Output(kDebugResult, UniString(m_astrLocalHost));
    return m_astrLocalHost;
  }
  if (m_bolConnected) {
    if ((m_astrLocalIP.Length() == 0) || m_astrLocalIP == AnsiString("0.0.0.0")) GetLocalIP();
    in_addr address;
    if (m_astrLocalIP.Length() > 0 && !(m_astrLocalIP == AnsiString("0.0.0.0")) &&
        inet_aton(m_astrLocalIP.c_str(), &address) != 0) {
      hostent* entry = gethostbyaddr(&address, 4, AF_INET);
      if (entry != nullptr && entry->h_name != nullptr) {
        if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
          in_addr first;
          std::memcpy(&first, entry->h_addr_list[0], sizeof first);
          m_astrLocalIP = AnsiString(inet_ntoa(first));
        }
        m_astrLocalHost = AnsiString(entry->h_name);
        scope.Output(kDebugResult, UniString(m_astrLocalHost));
        return m_astrLocalHost;
      }
      scope.Output(kDebugWarning, UniString(AnsiString("gethostbyaddr returned an error: ") + HostErrorText(h_errno)));
    }
  }
  GetLocalHostList(nullptr);
  AnsiString answer;
  if (m_pulstLocalHosts != nullptr && m_pulstLocalHosts->Count() > 0) answer = m_pulstLocalHosts->Strings[0];
  scope.Output(kDebugResult, UniString(answer));
  return answer;
}

void clsGenProtThread::NewIPAddr(AnsiString address) {
  if (m_pulstLocalIPs == nullptr) m_pulstLocalIPs = new (std::nothrow) TStringList;
  if (m_pulstLocalIPs != nullptr) m_pulstLocalIPs->Add(address);
}

void GPThread_GetIPFromValueCallback(void const* key, void const* value, void* context) {
  auto* thread = static_cast<clsGenProtThread*>(context);
  if (thread == nullptr || key == nullptr || value == nullptr) return;
  if (CFGetTypeID(key) != CFStringGetTypeID() || CFGetTypeID(value) != CFDictionaryGetTypeID()) return;
  auto addresses = static_cast<CFArrayRef>(
      CFDictionaryGetValue(static_cast<CFDictionaryRef>(value), kSCPropNetIPv4Addresses));
  if (addresses == nullptr || CFGetTypeID(addresses) != CFArrayGetTypeID()) return;
  for (CFIndex i = 0; i < CFArrayGetCount(addresses); ++i) {
    auto address = static_cast<CFStringRef>(CFArrayGetValueAtIndex(addresses, i));
    if (address != nullptr) thread->NewIPAddr(StringText(address));
  }
}

void GPThread_IPAddrsChangedCallback(SCDynamicStoreRef, CFArrayRef, void* info) {
  if (info != nullptr) static_cast<clsGenProtThread*>(info)->IPAddrsChanged();
}

void clsGenProtThread::GetLocalIPList(TStringList* list) {
  clsFuncDebug scope(UniString("GetLocalIPList"));
  if (list != nullptr) list->Clear();
  if (m_pulstLocalIPs == nullptr) m_pulstLocalIPs = new (std::nothrow) TStringList;
  if (m_pulstLocalIPs == nullptr) {
    scope.Output(kDebugError, UniString("Could not allocate memory for Local IP List."));
    return;
  }
  if (m_pulstLocalIPs->Count() == 0) {
    CFStringRef name = CFStringCreateWithCString(nullptr, "clsGenProt::GetLocalIPList", kCFStringEncodingUTF8);
    SCDynamicStoreRef store = SCDynamicStoreCreate(nullptr, name, nullptr, nullptr);
    CFStringRef pattern = nullptr;
    CFArrayRef patterns = nullptr;
    CFDictionaryRef entities = nullptr;
    do {
      if (store == nullptr) {
        scope.Output(kDebugError, UniString("Could not connect to the Dynamic Store."));
        break;
      }
      pattern = SCDynamicStoreKeyCreateNetworkServiceEntity(nullptr, kSCDynamicStoreDomainState,
                                                            kSCCompAnyRegex, kSCEntNetIPv4);
      if (pattern == nullptr) {
        scope.Output(kDebugError, UniString("Could not create a Network Service Entity"));
        break;
      }
      void const* values[] = {pattern};
      patterns = CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks);
      if (patterns == nullptr) {
        scope.Output(kDebugError, UniString("Could not create Pattern Array."));
        break;
      }
      entities = SCDynamicStoreCopyMultiple(store, nullptr, patterns);
      if (entities == nullptr) {
        scope.Output(kDebugError, UniString("No IPs found."));
        break;
      }
      CFDictionaryApplyFunction(entities, GPThread_GetIPFromValueCallback, this);
      if (m_udtAddrChangeStore == nullptr) {
        CFStringRef watchName =
            CFStringCreateWithCString(nullptr, "clsGenProt::IPAddrsChanged", kCFStringEncodingUTF8);
        SCDynamicStoreContext context{0, this, nullptr, nullptr, nullptr};
        m_udtAddrChangeStore = SCDynamicStoreCreate(nullptr, watchName, GPThread_IPAddrsChangedCallback, &context);
        if (watchName != nullptr) CFRelease(watchName);
        if (m_udtAddrChangeStore == nullptr) {
          scope.Output(kDebugWarning, UniString("Could not create a DynamicStore instances for IP Address Change Notification."));
        } else if (!SCDynamicStoreSetNotificationKeys(m_udtAddrChangeStore, nullptr, patterns)) {
          scope.Output(kDebugWarning, UniString("Could not set Notification Keys for IP Address Change Notification."));
        } else {
          m_udtAddrChangeSource = SCDynamicStoreCreateRunLoopSource(nullptr, m_udtAddrChangeStore, 0);
          if (m_udtAddrChangeSource == nullptr) {
            scope.Output(kDebugWarning, UniString("Could not create Run Loop Source for IP Address Change Notification."));
            CFRelease(m_udtAddrChangeStore);
            m_udtAddrChangeStore = nullptr;
          } else {
            CFRunLoopAddSource(CFRunLoopGetCurrent(), m_udtAddrChangeSource, kCFRunLoopDefaultMode);
          }
        }
      }
    } while (false);
    if (entities != nullptr) CFRelease(entities);
    if (patterns != nullptr) CFRelease(patterns);
    if (pattern != nullptr) CFRelease(pattern);
    if (store != nullptr) CFRelease(store);
    if (name != nullptr) CFRelease(name);
  }
  if (list != nullptr) list->Assign(m_pulstLocalIPs);
}

void clsGenProtThread::GetLocalHostList(TStringList* list) {
  clsFuncDebug scope(UniString("GetLocalHostList"));
  if (list != nullptr) list->Clear();
  if (m_pulstLocalHosts == nullptr) m_pulstLocalHosts = new (std::nothrow) TStringList;
  if (m_pulstLocalHosts == nullptr) {
    scope.Output(kDebugError, UniString("Could not allocate memory for local host list."));
    return;
  }
  if (m_pulstLocalHosts->Count() == 0) {
    char name[128];
    std::memset(name, 0, sizeof name);
    if (gethostname(name, 127) != 0) {
      scope.Output(kDebugError, UniString(AnsiString("gethostname returned an error: ") + ErrnoText(errno)));
    } else {
      scope.Output(kDebugInfo, UniString(AnsiString("gethostname returned: ") + AnsiString(name)));
      hostent* entry = gethostbyname(name);
      if (entry == nullptr) {
        scope.Output(kDebugError, UniString(AnsiString("gethostbyname returned an error: ") + HostErrorText(h_errno)));
      } else {
        m_pulstLocalHosts->Add(AnsiString(entry->h_name));
        scope.Output(kDebugInfo, UniString(AnsiString("Default Host: ") + AnsiString(entry->h_name)));
        for (char** alias = entry->h_aliases; alias != nullptr && *alias != nullptr; ++alias) {
          m_pulstLocalHosts->Add(AnsiString(*alias));
          scope.Output(kDebugInfo, UniString(AnsiString("Alias: ") + AnsiString(*alias)));
        }
      }
    }
  }
  if (list != nullptr) list->Assign(m_pulstLocalHosts);
}

void clsGenProtThread::IPAddrsChanged() {
  DebugOutput(kDebugInfo, UniString("IP Address List has changed."));
  m_astrLocalIP = AnsiString();
  m_astrLocalHost = AnsiString();
  if (m_pulstLocalIPs != nullptr) m_pulstLocalIPs->Clear();
  if (m_pulstLocalHosts != nullptr) m_pulstLocalHosts->Clear();
}
