// AppleEvents: descriptors own a heap record of ours; a process-wide set of live records lets
// AESend and AEDisposeDesc refuse descriptors that were never built or already disposed.
// Sending records the event under a mutex; the Finder's 'GURL' is passed on to xdg-open,
// started with posix_spawnp (no shell, the URL is one argument) and reaped by a detached thread
// so the caller never waits for the browser.
#include "platform/carbon/AppleEvents.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

extern char** environ;

namespace {

constexpr OSType kFinderSignature = MakeFourCharCode("MACS");

struct stcAEParam {
  AEKeyword m_ulngKey;
  DescType m_ulngType;
  std::string m_strData;
};

struct stcAppleEventData {
  AEEventClass m_ulngClass = 0;
  AEEventID m_ulngID = 0;
  DescType m_ulngAddressType = 0;
  std::string m_strAddress;
  AEReturnID m_intReturnID = 0;
  AETransactionID m_lngTransactionID = 0;
  std::vector<stcAEParam> m_vecParams;
};

struct stcAEState {
  std::mutex m_mtxState;
  std::set<stcAppleEventData*> m_setLive;
  std::vector<AESentEventForTesting> m_vecSent;
};

stcAEState& State() {
  static stcAEState* s_udtState = new stcAEState;
  return *s_udtState;
}

std::atomic<OSErr> g_intSendResult{noErr};
std::atomic<OSStatus> g_lngBuildResult{noErr};
std::atomic<bool> g_bolBrowserLaunchEnabled{true};
std::atomic<SInt16> g_intNextReturnID{1};

AEReturnID NewReturnID() {
  SInt16 id = g_intNextReturnID.fetch_add(1);
  if (id <= 0) {  // wrapped: start again at 1, never handing out the "auto" value
    g_intNextReturnID.store(2);
    id = 1;
  }
  return id;
}

// Reads a parameter string: key:type(@) entries separated by commas.
class clsAEParamReader {
 public:
  clsAEParamReader(char const* text, va_list* args) : m_pchText(text), m_ptrArgs(args) {}

  bool Read(std::vector<stcAEParam>* params) {
    SkipBlanks();
    if (AtEnd()) return true;
    for (;;) {
      stcAEParam param;
      if (!ReadCode(&param.m_ulngKey, aeBuildSyntaxNoKey)) return false;
      SkipBlanks();
      if (!Expect(':', aeBuildSyntaxNoColon)) return false;
      SkipBlanks();
      if (!ReadCode(&param.m_ulngType, aeBuildSyntaxBadToken)) return false;
      SkipBlanks();
      if (!Expect('(', aeBuildSyntaxBadData)) return false;
      SkipBlanks();
      if (!Expect('@', aeBuildSyntaxBadData)) return false;
      SkipBlanks();
      if (!Expect(')', aeBuildSyntaxNoCloseParen)) return false;
      Size length = va_arg(*m_ptrArgs, Size);
      void const* data = va_arg(*m_ptrArgs, void const*);
      if (length < 0 || (length > 0 && data == nullptr)) return Fail(aeBuildSyntaxBadData);
      if (length > 0) param.m_strData.assign(static_cast<char const*>(data), size_t(length));
      params->push_back(std::move(param));
      SkipBlanks();
      if (AtEnd()) return true;
      if (!Expect(',', aeBuildSyntaxBadToken)) return false;
      SkipBlanks();
    }
  }

  UInt32 ErrorKind() const { return m_ulngError; }
  UInt32 ErrorPos() const { return UInt32(m_lngPos); }

 private:
  bool AtEnd() const { return m_pchText[m_lngPos] == '\0'; }
  void SkipBlanks() {
    while (m_pchText[m_lngPos] == ' ' || m_pchText[m_lngPos] == '\t') ++m_lngPos;
  }
  bool Fail(UInt32 kind) {
    m_ulngError = kind;
    return false;
  }
  bool Expect(char c, UInt32 kindIfMissing) {
    if (m_pchText[m_lngPos] != c) return Fail(kindIfMissing);
    ++m_lngPos;
    return true;
  }
  // A four-character code: 'abcd' (1 to 4 characters, padded with spaces) or a bare word of
  // 1 to 4 letters and digits.
  bool ReadCode(FourCharCode* code, UInt32 kindIfMissing) {
    char chars[4] = {' ', ' ', ' ', ' '};
    size_t count = 0;
    if (m_pchText[m_lngPos] == '\'') {
      ++m_lngPos;
      while (m_pchText[m_lngPos] != '\'') {
        if (m_pchText[m_lngPos] == '\0') return Fail(aeBuildSyntaxMissingQuote);
        if (count == 4) return Fail(aeBuildSyntaxBadToken);
        chars[count++] = m_pchText[m_lngPos++];
      }
      ++m_lngPos;
    } else {
      while (std::isalnum(static_cast<unsigned char>(m_pchText[m_lngPos]))) {
        if (count == 4) return Fail(aeBuildSyntaxBadToken);
        chars[count++] = m_pchText[m_lngPos++];
      }
    }
    if (count == 0) return Fail(kindIfMissing);
    *code = (FourCharCode(UInt8(chars[0])) << 24) | (FourCharCode(UInt8(chars[1])) << 16) |
            (FourCharCode(UInt8(chars[2])) << 8) | FourCharCode(UInt8(chars[3]));
    return true;
  }

  char const* m_pchText;
  va_list* m_ptrArgs;
  size_t m_lngPos = 0;
  UInt32 m_ulngError = aeBuildSyntaxNoErr;
};

stcAppleEventData* LiveEventData(AEDesc const* desc) {
  if (desc == nullptr || desc->descriptorType != typeAppleEvent) return nullptr;
  auto* data = reinterpret_cast<stcAppleEventData*>(desc->dataHandle);
  stcAEState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  return state.m_setLive.count(data) != 0 ? data : nullptr;
}

bool OnDesktop() {
  if (std::getenv("VELMORA_NO_BROWSER") != nullptr) return false;
  char const* x11 = std::getenv("DISPLAY");
  char const* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Starts xdg-open on the URL without waiting for it; false when it could not be started.
bool LaunchBrowser(std::string const& url) {
  std::string program = "xdg-open";
  char* argv[] = {&program[0], const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No reaper thread: the finished helper stays a zombie until the process ends.
  }
  return true;
}

}  // namespace

OSStatus AEBuildAppleEvent(AEEventClass theClass, AEEventID theID, DescType addressType,
                           void const* addressData, Size addressLength, SInt16 returnID,
                           SInt32 transactionID, AppleEvent* result, AEBuildError* error,
                           char const* paramsFmt, ...) {
  if (error != nullptr) *error = AEBuildError{aeBuildSyntaxNoErr, 0};
  if (result == nullptr) return errAENotAEDesc;
  *result = AEDesc{typeNull, nullptr};
  OSStatus forced = g_lngBuildResult.load();
  if (forced != noErr) return forced;
  if (addressLength < 0 || (addressLength > 0 && addressData == nullptr)) return errAEWrongDataType;

  std::vector<stcAEParam> params;
  UInt32 errorKind = aeBuildSyntaxNoErr;
  UInt32 errorPos = 0;
  bool read = false;
  bool outOfMemory = false;
  va_list args;
  va_start(args, paramsFmt);
  try {
    clsAEParamReader reader(paramsFmt == nullptr ? "" : paramsFmt, &args);
    read = reader.Read(&params);
    errorKind = reader.ErrorKind();
    errorPos = reader.ErrorPos();
  } catch (...) {
    outOfMemory = true;  // while copying the data
  }
  va_end(args);
  if (outOfMemory) return errAEWrongDataType;
  if (!read) {
    if (error != nullptr) *error = AEBuildError{errorKind, errorPos};
    return errAEBuildSyntaxError;
  }

  try {
    auto* data = new stcAppleEventData;
    data->m_ulngClass = theClass;
    data->m_ulngID = theID;
    data->m_ulngAddressType = addressType;
    if (addressLength > 0) {
      data->m_strAddress.assign(static_cast<char const*>(addressData), size_t(addressLength));
    }
    data->m_intReturnID = returnID == kAutoGenerateReturnID ? NewReturnID() : returnID;
    data->m_lngTransactionID = transactionID;
    data->m_vecParams = std::move(params);
    stcAEState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mtxState);
    try {
      state.m_setLive.insert(data);
    } catch (...) {
      delete data;
      throw;
    }
    *result = AEDesc{typeAppleEvent, reinterpret_cast<AEDataStorage>(data)};
  } catch (...) {
    return errAEWrongDataType;
  }
  return noErr;
}

OSErr AESend(AppleEvent const* theAppleEvent, AppleEvent* reply, AESendMode sendMode,
             AESendPriority sendPriority, SInt32 timeOutInTicks, AEIdleUPP idleProc,
             AEFilterUPP filterProc) {
  (void)sendMode;
  (void)sendPriority;
  (void)timeOutInTicks;
  (void)idleProc;
  (void)filterProc;
  if (reply != nullptr) *reply = AEDesc{typeNull, nullptr};
  OSErr forced = g_intSendResult.load();
  if (forced != noErr) return forced;

  AESentEventForTesting sent{};
  {
    stcAppleEventData* data = LiveEventData(theAppleEvent);
    if (data == nullptr) return errAENotAEDesc;
    try {
      sent.eventClass = data->m_ulngClass;
      sent.eventID = data->m_ulngID;
      sent.addressType = data->m_ulngAddressType;
      sent.addressData = data->m_strAddress;
      if (sent.addressType == typeApplSignature && sent.addressData.size() == sizeof(OSType)) {
        OSType signature;
        sent.addressData.copy(reinterpret_cast<char*>(&signature), sizeof signature);
        sent.targetSignature = signature;
      }
      for (stcAEParam const& param : data->m_vecParams) {
        if (param.m_ulngKey == keyDirectObject) sent.directText = param.m_strData;
      }
      stcAEState& state = State();
      std::lock_guard<std::mutex> guard(state.m_mtxState);
      state.m_vecSent.push_back(sent);
    } catch (...) {
      return errAEWrongDataType;
    }
  }

  bool isOpenURL = sent.eventClass == kInternetEventClass && sent.eventID == kAEGetURL &&
                   sent.targetSignature == kFinderSignature;
  if (isOpenURL && g_bolBrowserLaunchEnabled.load() && OnDesktop()) {
    if (!LaunchBrowser(sent.directText)) return procNotFound;
  }
  return noErr;
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
  if (theAEDesc == nullptr) return errAENotAEDesc;
  if (theAEDesc->descriptorType == typeAppleEvent && theAEDesc->dataHandle != nullptr) {
    auto* data = reinterpret_cast<stcAppleEventData*>(theAEDesc->dataHandle);
    stcAEState& state = State();
    bool wasLive;
    {
      std::lock_guard<std::mutex> guard(state.m_mtxState);
      wasLive = state.m_setLive.erase(data) != 0;
    }
    if (!wasLive) return errAENotAEDesc;
    delete data;
  }
  // Data descriptors and lists (made by AECreateDesc and friends) free their own storage.
  if (theAEDesc->descriptorType != typeAppleEvent) AEDisposeDataDescriptor(theAEDesc);
  *theAEDesc = AEDesc{typeNull, nullptr};
  return noErr;
}

std::vector<AESentEventForTesting> AEGetSentEventsForTesting() {
  stcAEState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  return state.m_vecSent;
}

void AEClearSentEventsForTesting() {
  stcAEState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  state.m_vecSent.clear();
}

void AESetSendResultForTesting(OSErr result) { g_intSendResult.store(result); }
void AESetBuildResultForTesting(OSStatus result) { g_lngBuildResult.store(result); }
void AESetBrowserLaunchEnabledForTesting(bool enabled) { g_bolBrowserLaunchEnabled.store(enabled); }
