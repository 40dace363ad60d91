// CFSocket: a non-blocking BSD socket and its run-loop source. The source polls for writability
// while a connect is under way and for readability afterwards; one read of up to 64 KiB per
// turn goes to the data callback. Sends wait in poll() for room. Never throws.
#include "platform/cf/CFSocket.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <new>

#include "platform/cf/CFRunLoopInternal.h"
#include "platform/cf/CFSocketTesting.h"

namespace {

std::atomic<int64_t> g_lngSendCount{0};
std::atomic<int64_t> g_lngBytesSent{0};

class clsSocket : public CFRuntimeObject {
 public:
  clsSocket() : CFRuntimeObject(kCFRuntimeTypeSocket) {}
  ~clsSocket() override {
    Close();
    if (m_udtContext.release != nullptr) m_udtContext.release(m_udtContext.info);
  }
  CFSocketRef Ref() { return static_cast<CFSocketRef>(const_cast<void*>(CFRuntimeObjectToRef(this))); }
  void Close() {
    int fd = m_intFD.exchange(-1);
    if (fd >= 0) close(fd);
  }

  std::atomic<int> m_intFD{-1};
  CFOptionFlags m_ulngCallBackTypes = 0;
  CFSocketCallBack m_fnCallout = nullptr;
  CFSocketContext m_udtContext{};
  bool m_bolConnecting = false;
  SInt32 m_lngImmediateError = 0;  // a connect refused at once, still to be reported
  bool m_bolEndDelivered = false;
};

clsSocket* SocketOf(CFSocketRef s) {
  if (s == nullptr || CFGetTypeID(s) != kCFRuntimeTypeSocket) return nullptr;
  return static_cast<clsSocket*>(const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(s)));
}

class clsSocketSource : public clsRunLoopSourceBase {
 public:
  explicit clsSocketSource(clsSocket* socket) : m_pudtSocket(socket) {
    CFRetain(CFRuntimeObjectToRef(socket));
  }
  ~clsSocketSource() override { CFRelease(CFRuntimeObjectToRef(m_pudtSocket)); }

  int PollDescriptor(short* events) override {
    *events = 0;
    int fd = m_pudtSocket->m_intFD.load();
    if (fd < 0) return -1;
    if (m_pudtSocket->m_bolConnecting) {
      *events = POLLOUT;
    } else if ((m_pudtSocket->m_ulngCallBackTypes & kCFSocketDataCallBack) == kCFSocketDataCallBack &&
               !m_pudtSocket->m_bolEndDelivered) {
      *events = POLLIN;
    }
    return fd;
  }
  bool ReadyWithoutPoll() override {
    return m_pudtSocket->m_bolConnecting && m_pudtSocket->m_lngImmediateError != 0;
  }
  void Perform(short revents) override {
    clsSocket* s = m_pudtSocket;
    int fd = s->m_intFD.load();
    if (fd < 0) return;
    if (s->m_bolConnecting) {
      SInt32 error = s->m_lngImmediateError;
      if (error == 0) {
        if ((revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return;
        int soError = 0;
        socklen_t length = sizeof soError;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
        error = soError;
      }
      s->m_bolConnecting = false;
      s->m_lngImmediateError = 0;
      if ((s->m_ulngCallBackTypes & kCFSocketConnectCallBack) && s->m_fnCallout != nullptr) {
        s->m_fnCallout(s->Ref(), kCFSocketConnectCallBack, nullptr, error == 0 ? nullptr : &error,
                       s->m_udtContext.info);
      }
      return;
    }
    if ((s->m_ulngCallBackTypes & kCFSocketDataCallBack) != kCFSocketDataCallBack ||
        s->m_bolEndDelivered || (revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
      return;
    }
    UInt8 buffer[65536];
    ssize_t count = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (count <= 0) {
      s->m_bolEndDelivered = true;
      count = 0;
    }
    CFDataRef data = CFDataCreate(nullptr, buffer, CFIndex(count));
    if (data == nullptr) return;
    if (s->m_fnCallout != nullptr) {
      s->m_fnCallout(s->Ref(), kCFSocketDataCallBack, nullptr, data, s->m_udtContext.info);
    }
    CFRelease(data);
  }
  bool IsValid() override { return m_bolValid.load() && m_pudtSocket->m_intFD.load() >= 0; }
  void Invalidate() override { m_bolValid.store(false); }

  clsSocket* m_pudtSocket;
  std::atomic<bool> m_bolValid{true};
};

}  // namespace

void CFSocketTestingResetCounters() {
  g_lngSendCount.store(0);
  g_lngBytesSent.store(0);
}
int64_t CFSocketTestingSendCount() { return g_lngSendCount.load(); }
int64_t CFSocketTestingBytesSent() { return g_lngBytesSent.load(); }

CFTypeID CFSocketGetTypeID(void) { return kCFRuntimeTypeSocket; }

CFSocketRef CFSocketCreate(CFAllocatorRef, SInt32 protocolFamily, SInt32 socketType, SInt32 protocol,
                           CFOptionFlags callBackTypes, CFSocketCallBack callout,
                           CFSocketContext const* context) {
  int fd = socket(protocolFamily, socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (fd < 0) return nullptr;
  auto* s = new (std::nothrow) clsSocket;
  if (s == nullptr) {
    close(fd);
    return nullptr;
  }
  s->m_intFD.store(fd);
  s->m_ulngCallBackTypes = callBackTypes;
  s->m_fnCallout = callout;
  if (context != nullptr) {
    s->m_udtContext = *context;
    if (context->retain != nullptr) s->m_udtContext.info = const_cast<void*>(context->retain(context->info));
  }
  return s->Ref();
}

CFSocketError CFSocketConnectToAddress(CFSocketRef sRef, CFDataRef address, CFTimeInterval timeout) {
  clsSocket* s = SocketOf(sRef);
  if (s == nullptr || address == nullptr) return kCFSocketError;
  int fd = s->m_intFD.load();
  if (fd < 0) return kCFSocketError;
  int rc = connect(fd, reinterpret_cast<sockaddr const*>(CFDataGetBytePtr(address)),
                   socklen_t(CFDataGetLength(address)));
  int error = rc == 0 ? 0 : errno;
  if (timeout < 0) {
    // Asynchronous: the outcome, even an immediate one, comes through the connect callback.
    s->m_bolConnecting = true;
    s->m_lngImmediateError = (error == 0 || error == EINPROGRESS) ? 0 : error;
    return kCFSocketSuccess;
  }
  if (error == 0) return kCFSocketSuccess;
  if (error != EINPROGRESS) return kCFSocketError;
  pollfd p{fd, POLLOUT, 0};
  int ready = poll(&p, 1, timeout == 0 ? -1 : int(std::ceil(timeout * 1000)));
  if (ready == 0) return kCFSocketTimeout;
  int soError = 0;
  socklen_t length = sizeof soError;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
  if (soError != 0) {
    errno = soError;
    return kCFSocketError;
  }
  return kCFSocketSuccess;
}

CFRunLoopSourceRef CFSocketCreateRunLoopSource(CFAllocatorRef, CFSocketRef sRef, CFIndex) {
  clsSocket* s = SocketOf(sRef);
  if (s == nullptr) return nullptr;
  auto* source = new (std::nothrow) clsSocketSource(s);
  if (source == nullptr) return nullptr;
  return static_cast<CFRunLoopSourceRef>(const_cast<void*>(CFRuntimeObjectToRef(source)));
}

CFSocketError CFSocketSendData(CFSocketRef sRef, CFDataRef, CFDataRef data, CFTimeInterval timeout) {
  clsSocket* s = SocketOf(sRef);
  if (s == nullptr || data == nullptr) return kCFSocketError;
  int fd = s->m_intFD.load();
  if (fd < 0) {
    errno = EBADF;
    return kCFSocketError;
  }
  UInt8 const* bytes = CFDataGetBytePtr(data);
  size_t left = size_t(CFDataGetLength(data));
  g_lngSendCount.fetch_add(1);
  // The clock is read when the socket first has no room: a send that never waits reads none.
  std::chrono::steady_clock::time_point deadline{};
  bool waited = false;
  while (left > 0) {
    ssize_t sent = send(fd, bytes, left, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      g_lngBytesSent.fetch_add(sent);
      bytes += sent;
      left -= size_t(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return kCFSocketError;
    if (!waited) {
      deadline = std::chrono::steady_clock::now() +
                 std::chrono::microseconds(int64_t(std::max(0.0, timeout) * 1e6));
      waited = true;
    }
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
                         deadline - std::chrono::steady_clock::now()).count();
    if (remaining <= 0) {
      errno = ETIMEDOUT;
      return kCFSocketTimeout;
    }
    pollfd p{fd, POLLOUT, 0};
    int ready = poll(&p, 1, int(remaining));
    if (ready < 0 && errno != EINTR) return kCFSocketError;
  }
  return kCFSocketSuccess;
}

void CFSocketInvalidate(CFSocketRef sRef) {
  if (clsSocket* s = SocketOf(sRef)) s->Close();
}

Boolean CFSocketIsValid(CFSocketRef sRef) {
  clsSocket* s = SocketOf(sRef);
  return s != nullptr && s->m_intFD.load() >= 0;
}

CFSocketNativeHandle CFSocketGetNative(CFSocketRef sRef) {
  clsSocket* s = SocketOf(sRef);
  return s == nullptr ? -1 : s->m_intFD.load();
}
