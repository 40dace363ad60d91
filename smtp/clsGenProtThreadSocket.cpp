// clsGenProtThread, socket side: opening the connection, received bytes cut into lines (CR, LF
// or CR LF; a CR at the end of one batch swallows a LF at the start of the next), sends direct,
// through TLS or collected in the send buffer, the transcript, and closing.
// A line that grows past 64 KiB without an end fails the connection instead of growing the
// buffer without limit. Everything runs on the worker's task.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <cstring>
#include <new>
#include <utility>

#include "core/DebugLog.h"
#include "core/TextEncoders.h"
#include "platform/netdb/netdb.h"
#include "smtp/clsGenProt.h"
#include "smtp/clsGenProtThread.h"

namespace {

// Whether a line at this level can reach the debug log; bulk data is only turned into log text
// when it can.
bool WouldLog(enumDebugLevel level) {
  return g_bolDebugInitialized && (level != kDebugFull || g_intDebugLevel == kDebugFull);
}

// While the send buffer is in use the socket holds back a write's last part that does not fill a
// segment, to go out with the next write, instead of sending it at once as a short segment of its
// own (the socket sends without Nagle delay). Letting go sends what is held at once.
void HoldPartialSegments(CFSocketRef socket, bool hold) {
  if (socket == nullptr || !CFSocketIsValid(socket)) return;
  int const value = hold ? 1 : 0;
  setsockopt(CFSocketGetNative(socket), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

AnsiString ErrnoText(int code) {
  return AnsiString(std::strerror(code)) + AnsiString(" (") + AnsiString(code) + AnsiString(")");
}

}  // namespace

void GPThread_CFSocketCallback(CFSocketRef socket, CFSocketCallBackType type, CFDataRef address,
                               void const* data, void* info) {
  auto* thread = static_cast<clsGenProtThread*>(info);
  if (thread == nullptr) return;
  if (type == kCFSocketDataCallBack) {
    CFDataRef bytes = static_cast<CFDataRef>(data);
    if (CFDataGetLength(bytes) < 1) {
      thread->SocketSessionClosed(socket, address);
    } else {
      thread->SocketDataAvailable(socket, address, bytes);
    }
  } else if (type == kCFSocketConnectCallBack) {
    long error = data == nullptr ? 0 : long(*static_cast<SInt32 const*>(data));
    thread->SocketSessionConnected(socket, address, error);
  }
}

bool clsGenProtThread::GrowBuffer(unsigned char** buffer, unsigned int* capacity, unsigned int start,
                                  unsigned int end, unsigned int count) {
  if (*buffer != nullptr && end + count <= *capacity) return true;
  unsigned int grown = *capacity + 1024;
  while (grown < end + count) grown += 1024;
  auto* fresh = new (std::nothrow) unsigned char[grown];
  if (fresh == nullptr) return false;
  if (*buffer != nullptr && end > start) std::memcpy(fresh + start, *buffer + start, end - start);
  delete[] *buffer;
  *buffer = fresh;
  *capacity = grown;
  return true;
}

unsigned int clsGenProtThread::AppendReceived(unsigned char** buffer, unsigned int* capacity, unsigned int start,
                                              unsigned int* end, UInt8 const* bytes, unsigned int count,
                                              char const* bufferName) {
  GrowBuffer(buffer, capacity, start, *end, count);
  unsigned int room = *buffer == nullptr ? 0 : *capacity - *end;
  unsigned int taken = count < room ? count : room;
  if (taken > 0) std::memcpy(*buffer + *end, bytes, taken);
  *end += taken;
  if (taken < count) {
    DebugOutput(kDebugWarning, UniString("The ") + UniString(bufferName) +
                                   UniString(" is NULL or not big enough to hold all the data! Having to throw away data of length: ") +
                                   UniString(int32_t(count - taken)));
  }
  return taken;
}

void clsGenProtThread::FailConnection(AnsiString text) {
  m_astrError = text;
  DebugOutput(kDebugError, UniString(text));
  m_bolInputRejected = true;
  if (m_deqCommands.empty()) {
    CleanupSocket();
  } else {
    m_bolCloseAfterRequest = true;
  }
}

void clsGenProtThread::OpenConnection() {
  CFSocketContext context{0, this, nullptr, nullptr, nullptr};
  m_udtSocket = CFSocketCreate(kCFAllocatorDefault, PF_INET, SOCK_STREAM, IPPROTO_TCP,
                               kCFSocketDataCallBack | kCFSocketConnectCallBack,
                               GPThread_CFSocketCallback, &context);
  if (m_udtSocket == nullptr) {
    m_astrError = "Could not create a TCP/IP Socket.";
    return;
  }
  // Every write is a whole command or a full buffer: it goes out at once. Without this the
  // small write that ends the message data (".") waits for the acknowledgement of the one
  // before, which the server may hold back for its delayed-ACK time (40 ms on Linux).
  int const noDelay = 1;
  setsockopt(CFSocketGetNative(m_udtSocket), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  hostent* entry = gethostbyname(m_astrHost.c_str());
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr ||
      entry->h_addrtype != AF_INET) {
    int code = entry == nullptr ? h_errno : HOST_NOT_FOUND;
    m_astrError = AnsiString("Could not resolve Host Name to IP Address. BSD Error: ") +
                  AnsiString(hstrerror(code)) + AnsiString(" (") + AnsiString(code) + AnsiString(")");
    return;
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(m_intPort));
  std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
  CFDataRef addressData = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<UInt8 const*>(&address),
                                       sizeof address);
  if (addressData == nullptr) {
    m_astrError = "Could not create TCP/IP Address Structure.";
    return;
  }
  m_deqCommands.push_front(stcCommand(kCmdConnect, kCmdStateConnected));
  m_deqCommands.push_front(stcCommand(kEventConnectionDone, 0));
  CFSocketConnectToAddress(m_udtSocket, addressData, -1.0);
  m_udtSocketSource = CFSocketCreateRunLoopSource(kCFAllocatorDefault, m_udtSocket, 0);
  if (m_udtSocketSource != nullptr) CFRunLoopAddSource(CFRunLoopGetCurrent(), m_udtSocketSource, m_udtMode);
  CFRelease(addressData);
}

void clsGenProtThread::SocketSessionConnected(CFSocketRef, CFDataRef, long error) {
  if (error == 0) {
    m_bolConnected = true;
  } else {
    m_astrError = AnsiString("There was an error connecting to '") + m_astrHost + AnsiString(":") +
                  AnsiString(m_intPort) + AnsiString("'; BSD Error: ") + AnsiString(std::strerror(int(error)));
    DebugOutput(kDebugError, LogText(m_astrError));
  }
  AddConnectionEvent();
}

void clsGenProtThread::SocketDataAvailable(CFSocketRef, CFDataRef, CFDataRef data) {
  unsigned int count = unsigned(CFDataGetLength(data));
  if (count == 0 || m_bolInputRejected) return;
  UInt8 const* bytes = CFDataGetBytePtr(data);
  if (!m_bolTLSActive && !m_bolTLSHandshaking) {
    unsigned int taken = AppendReceived(&m_pbytReceiveBuffer, &m_ulngReceiveCapacity, m_ulngReceiveStart,
                                        &m_ulngReceiveEnd, bytes, count, "ReceiveBuffer");
    if (taken > 0) ProcessReceivedData();
    if (m_ulngReceiveEnd - m_ulngReceiveStart > kMaxPendingLine) {
      FailConnection(AnsiString("The server sent a line longer than ") + AnsiString(int(kMaxPendingLine)) +
                     AnsiString(" bytes."));
    }
    return;
  }
  if (m_ulngTLSStart > 0) {
    unsigned int left = m_ulngTLSEnd > m_ulngTLSStart ? m_ulngTLSEnd - m_ulngTLSStart : 0;
    if (left > 0) std::memmove(m_pbytTLSBuffer, m_pbytTLSBuffer + m_ulngTLSStart, left);
    m_ulngTLSEnd = left;
    m_ulngTLSStart = 0;
  }
  AppendReceived(&m_pbytTLSBuffer, &m_ulngTLSCapacity, m_ulngTLSStart, &m_ulngTLSEnd, bytes, count, "TLSBuffer");
  if (m_bolTLSActive) {
    DrainTLSBuffer();
    if (m_bolTLSPeerClosed) {
      TLSClosedByPeer(false);
      return;
    }
  }
  if (m_ulngTLSEnd - m_ulngTLSStart > kMaxPendingTLS ||
      (m_ulngReceiveEnd - m_ulngReceiveStart > kMaxPendingLine && !m_bolInputRejected)) {
    FailConnection(AnsiString("The server sent more TLS data than can be held without a line end (") +
                   AnsiString(int(kMaxPendingLine)) + AnsiString(" bytes)."));
  }
}

void clsGenProtThread::DrainTLSBuffer() {
  while (m_ulngTLSEnd > 0 && m_ulngTLSEnd > m_ulngTLSStart && !m_bolInputRejected && !m_bolTLSPeerClosed) {
    unsigned int const before = m_ulngTLSStart;
    if (!ProcessReceivedData()) break;
    if (m_ulngTLSStart == before) break;
  }
}

void clsGenProtThread::TLSClosedByPeer(bool inStep) {
  DebugOutput(kDebugWarning, UniString("The server closed the TLS session; what it sends after that is dropped."));
  m_ulngTLSStart = 0;
  m_ulngTLSEnd = 0;
  m_bolInputRejected = true;
  if (!m_bolConnected) return;
  m_bolConnected = false;
  AddDisconnectEvent();
  if (!inStep && m_deqCommands.empty()) {
    CleanupSocket();
  } else {
    m_bolCloseAfterRequest = true;
  }
}

bool clsGenProtThread::ProcessReceivedData() {
  if (m_bolTLSActive && m_bolTLSPeerClosed) {
    // After the peer's close_notify no record is read: whatever follows it is dropped.
    m_ulngTLSStart = 0;
    m_ulngTLSEnd = 0;
    return false;
  }
  if (m_bolTLSActive) {
    if (m_pbytTLSBuffer == nullptr) {
      m_astrError = "ProcessReceivedData was called, but the TLS Data Buffer was NULL!";
      DebugOutput(kDebugError, LogText(m_astrError));
      return true;
    }
    if (m_ulngTLSEnd == 0 || m_ulngTLSEnd <= m_ulngTLSStart) return true;
    unsigned int waiting = m_ulngTLSEnd - m_ulngTLSStart;
    if (!GrowBuffer(&m_pbytReceiveBuffer, &m_ulngReceiveCapacity, m_ulngReceiveStart, m_ulngReceiveEnd, waiting)) {
      m_astrError = "Error allocating memory for TLS data.";
      DebugOutput(kDebugError, LogText(m_astrError));
      return true;
    }
    size_t processed = 0;
    OSStatus result = SSLRead(m_udtTLSContext, m_pbytReceiveBuffer + m_ulngReceiveEnd, waiting, &processed);
    if (result == errSSLWouldBlock) return false;
    if (result != noErr && result != errSSLClosedGraceful) {
      m_astrError = AnsiString("Error reading TLS data: ") + TLSError(result);
      DebugOutput(kDebugError, LogText(m_astrError));
      return false;
    }
    m_ulngReceiveEnd += unsigned(processed);
    // The close may come after data in the same call, which then answers noErr.
    SSLSessionState state = kSSLIdle;
    if (result == errSSLClosedGraceful ||
        (SSLGetSessionState(m_udtTLSContext, &state) == noErr && state == kSSLClosed)) {
      m_bolTLSPeerClosed = true;
    }
  }
  if (m_pbytReceiveBuffer == nullptr) {
    m_astrError = "ProcessReceivedData was called, but the Received Data Buffer was NULL!";
    DebugOutput(kDebugError, LogText(m_astrError));
    return true;
  }
  if (m_ulngReceiveEnd == 0 || m_ulngReceiveEnd <= m_ulngReceiveStart) {
    DebugOutput(kDebugWarning, UniString("ProcessReceivedData called, but no data to process."));
    return true;
  }
  if (m_bolCRAtEnd) {
    if (m_pbytReceiveBuffer[m_ulngReceiveStart] == '\n') ++m_ulngReceiveStart;
    m_bolCRAtEnd = false;
    if (m_ulngReceiveStart >= m_ulngReceiveEnd) {
      m_ulngReceiveStart = 0;
      m_ulngReceiveEnd = 0;
      return true;
    }
  }
  for (;;) {
    UpdateIdleTimeout();
    unsigned int at = m_ulngReceiveStart;
    while (at < m_ulngReceiveEnd && m_pbytReceiveBuffer[at] != '\r' && m_pbytReceiveBuffer[at] != '\n') ++at;
    if (at >= m_ulngReceiveEnd) {
      unsigned int left = m_ulngReceiveEnd - m_ulngReceiveStart;
      if (left > 0 && m_ulngReceiveStart > 0) {
        std::memmove(m_pbytReceiveBuffer, m_pbytReceiveBuffer + m_ulngReceiveStart, left);
      }
      m_ulngReceiveEnd = left;
      m_ulngReceiveStart = 0;
      return true;
    }
    unsigned int terminator = 1;
    if (m_pbytReceiveBuffer[at] == '\r') {
      if (at + 1 < m_ulngReceiveEnd) {
        if (m_pbytReceiveBuffer[at + 1] == '\n') terminator = 2;
      } else {
        m_bolCRAtEnd = true;
      }
    }
    AnsiString line(reinterpret_cast<char const*>(m_pbytReceiveBuffer + m_ulngReceiveStart),
                    int(at + terminator - m_ulngReceiveStart));
    line = TrimCRLF(line);
    if (line.Length() > 0 && line[line.Length()] == '\n') line = line.SubString(1, line.Length() - 1);
    m_ulngReceiveStart = at + terminator;
    bool add = true;
    ReceivedNewLine(line, &add);
    if (add) AddToTranscript(AnsiString("> ") + line);
    if (WouldLog(add ? kDebugInfo : kDebugFull)) DebugOutput(add ? kDebugInfo : kDebugFull, UniString(AnsiString("> ") + line));
    if (m_ulngReceiveStart >= m_ulngReceiveEnd) {
      m_ulngReceiveStart = 0;
      m_ulngReceiveEnd = 0;
      return true;
    }
  }
}

void clsGenProtThread::ReceivedNewLine(AnsiString, bool*) {}

void clsGenProtThread::SocketSessionClosed(CFSocketRef, CFDataRef) {
  if (m_bolLineMode && m_ulngReceiveEnd > m_ulngReceiveStart && !m_bolInputRejected) {
    if (m_pbytReceiveBuffer == nullptr || m_ulngReceiveEnd + 2 > m_ulngReceiveCapacity) {
      GrowBuffer(&m_pbytReceiveBuffer, &m_ulngReceiveCapacity, m_ulngReceiveStart, m_ulngReceiveEnd, 2);
    }
    unsigned int room = m_pbytReceiveBuffer == nullptr ? 0 : m_ulngReceiveCapacity - m_ulngReceiveEnd;
    if (room >= 2) {
      m_pbytReceiveBuffer[m_ulngReceiveEnd++] = '\r';
      m_pbytReceiveBuffer[m_ulngReceiveEnd++] = '\n';
      ProcessReceivedData();
    } else if (room == 1) {
      m_pbytReceiveBuffer[m_ulngReceiveEnd++] = '\r';
      ProcessReceivedData();
    } else {
      DebugOutput(kDebugWarning,
                  UniString("Connection was closed in Line Mode, and there is still data in the Receive Buffer, but I can't resize the buffer to append a CRLF to process the line."));
    }
  }
  m_bolConnected = false;
  AddDisconnectEvent();
}

namespace {

// The message for a failed send: direct or from the send buffer.
AnsiString SendFailure(int result, bool fromBuffer) {
  switch (result) {
    case -38: return "Socket is NULL.";
    case -41:
      return fromBuffer ? "Could not allocate memory for the buffer data that was being sent."
                        : "Could not allocate memory for the data that was being sent.";
    case -1:
      return AnsiString(fromBuffer ? "There was an error sending the buffer data.  BSD Error: "
                                   : "There was an error sending the data.  BSD Error: ") +
             ErrnoText(errno);
    case -2:
      return AnsiString(fromBuffer ? "Timed out trying to send the buffer data.  BSD Error: "
                                   : "Timed out trying to send the data.  BSD Error: ") +
             ErrnoText(errno);
    default: return AnsiString();
  }
}

}  // namespace

void clsGenProtThread::SendLine(AnsiString const& line, bool appendCRLF, bool addToTranscript, bool censor) {
  if (!appendCRLF) {
    SendData(line, addToTranscript, censor);
    return;
  }
  size_t const length = size_t(line.Length());
  // A line that fits in the send buffer, with neither a transcript nor a log line to write, goes
  // straight into the buffer, after sending what the buffer holds when it has no room left: what
  // SendData would do, without the copies in between.
  if (m_bolSendBuffering && m_pbytSendBuffer != nullptr && !addToTranscript && !WouldLog(kDebugFull) &&
      length + 2 <= m_ulngSendBufferSize && m_bolConnected && m_udtSocket != nullptr &&
      (m_udtSocket == m_udtCheckedSocket || CFSocketIsValid(m_udtSocket))) {
    m_udtCheckedSocket = m_udtSocket;
    if (m_astrError.Length() > 0) m_astrError = AnsiString();
    if (m_ulngSendBufferUsed + length + 2 > m_ulngSendBufferSize) {
      int result = InternalSendData(m_pbytSendBuffer, int(m_ulngSendBufferUsed));
      if (result < 0) {
        m_astrError = SendFailure(result, true);
        if (m_astrError.Length() > 0) DebugOutput(kDebugError, UniString(AnsiString("SendData: ") + m_astrError));
        return;
      }
      UpdateIdleTimeout();
      m_ulngSendBufferUsed = 0;
    }
    unsigned char* at = m_pbytSendBuffer + m_ulngSendBufferUsed;
    char const* from = line.c_str();
    if (length >= 16) {
      // A message line is short: sixteen bytes a step, the last step ending at the line's end.
      for (size_t i = 0; i + 16 < length; i += 16) std::memcpy(at + i, from + i, 16);
      std::memcpy(at + length - 16, from + length - 16, 16);
    } else if (length > 0) {
      std::memcpy(at, from, length);
    }
    at[length] = '\r';
    at[length + 1] = '\n';
    m_ulngSendBufferUsed += unsigned(length + 2);
    return;
  }
  m_vecSendLineBytes.resize(length + 2);
  if (length > 0) std::memcpy(m_vecSendLineBytes.data(), line.c_str(), length);
  m_vecSendLineBytes[length] = '\r';
  m_vecSendLineBytes[length + 1] = '\n';
  m_astrSendLine.Load(m_vecSendLineBytes.data(), int(length + 2));
  SendData(m_astrSendLine, addToTranscript, censor);
}

void clsGenProtThread::SendData(AnsiString const& data, bool addToTranscript, bool censor) {
  m_astrError = AnsiString();
  if (!m_bolConnected) {
    m_astrError = "Not Connected.";
  } else if (!CFSocketIsValid(m_udtSocket)) {
    m_astrError = "TCP/IP Socket is no longer available.";
  } else if (data.Length() == 0) {
    m_astrError = "Nothing to Send.";
  }
  if (m_astrError.Length() > 0) {
    DebugOutput(kDebugError, UniString(AnsiString("SendData: ") + m_astrError));
    return;
  }
  enumDebugLevel level = addToTranscript ? kDebugInfo : kDebugFull;
  if (addToTranscript || WouldLog(level)) {
    AnsiString transcript = censor ? AnsiString("< [CENSORED]") : AnsiString("< ") + TrimCRLF(data);
    if (addToTranscript) AddToTranscript(transcript);
    if (WouldLog(level)) DebugOutput(level, UniString(transcript));
  }
  unsigned int length = unsigned(data.Length());
  bool direct = true;
  if (m_bolSendBuffering && m_pbytSendBuffer != nullptr) {
    if (length + m_ulngSendBufferUsed > m_ulngSendBufferSize) {
      int result = InternalSendData(m_pbytSendBuffer, int(m_ulngSendBufferUsed));
      if (result < 0) {
        m_astrError = SendFailure(result, true);
        if (m_astrError.Length() > 0) DebugOutput(kDebugError, UniString(AnsiString("SendData: ") + m_astrError));
        return;
      }
      UpdateIdleTimeout();
      m_ulngSendBufferUsed = 0;
      if (length <= m_ulngSendBufferSize) {
        std::memcpy(m_pbytSendBuffer, data.c_str(), length);
        m_ulngSendBufferUsed = length;
        direct = false;
      }
    } else {
      std::memcpy(m_pbytSendBuffer + m_ulngSendBufferUsed, data.c_str(), length);
      m_ulngSendBufferUsed += length;
      direct = false;
    }
  }
  if (direct) {
    m_deqCommands.push_front(stcCommand(kEventDataSent, 0));
    int result = InternalSendData(reinterpret_cast<unsigned char const*>(data.c_str()), int(length));
    if (result >= 0) {
      UpdateIdleTimeout();
    } else {
      m_astrError = SendFailure(result, false);
    }
  }
  if (m_astrError.Length() > 0) {
    DebugOutput(kDebugError, UniString(AnsiString("SendData: ") + m_astrError));
  } else if (direct) {
    AddDataSentEvent();
  }
}

int clsGenProtThread::InternalSendData(unsigned char const* bytes, int length) {
  if (m_bolTLSActive || m_bolTLSHandshaking) {
    size_t processed = 0;
    OSStatus result = SSLWrite(m_udtTLSContext, bytes, size_t(length), &processed);
    if (result == noErr || result == errSSLClosedGraceful) return int(processed);
    return int(result);
  }
  // The data object only lends the bytes to the send: no copy of the buffer per write.
  CFDataRef data = CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, bytes, length, kCFAllocatorNull);
  if (data == nullptr) return -41;
  if (m_udtSocket == nullptr) {
    CFRelease(data);
    return -38;
  }
  // A send that waits for room is a bounded wait, too.
  m_dblBoundUntil.store(Now() + EffectiveTimeout());
  CFSocketError result = CFSocketSendData(m_udtSocket, nullptr, data, double(EffectiveTimeout()));
  int saved = errno;
  CFRelease(data);
  errno = saved;
  return result != kCFSocketSuccess ? int(result) : length;
}

void clsGenProtThread::EnableSendBuffering(unsigned int size) {
  if (m_bolSendBuffering && m_ulngSendBufferSize != size) DisableSendBuffering();
  if (size == 0) return;
  if (m_pbytSendBuffer != nullptr && m_bolSendBuffering) return;
  delete[] m_pbytSendBuffer;
  m_pbytSendBuffer = new (std::nothrow) unsigned char[size];
  if (m_pbytSendBuffer == nullptr) return;
  m_ulngSendBufferUsed = 0;
  m_ulngSendBufferSize = size;
  m_bolSendBuffering = true;
  HoldPartialSegments(m_udtSocket, true);
}

void clsGenProtThread::FlushSendBuffer() {
  if (!m_bolSendBuffering) return;
  if (m_pbytSendBuffer == nullptr) {
    DebugOutput(kDebugWarning, UniString("SendBuffering was enabled, but the Send Buffer was NULL."));
    m_bolSendBuffering = false;
    return;
  }
  if (m_ulngSendBufferUsed == 0) return;
  int result = InternalSendData(m_pbytSendBuffer, int(m_ulngSendBufferUsed));
  if (result < 0) {
    AnsiString text = SendFailure(result, true);
    if (text.Length() > 0) m_astrError = text;
  }
  m_ulngSendBufferUsed = 0;
  // A flush asked for sends all of it now, also the part the socket would hold back.
  HoldPartialSegments(m_udtSocket, false);
  if (m_bolSendBuffering) HoldPartialSegments(m_udtSocket, true);
}

void clsGenProtThread::DisableSendBuffering() {
  if (!m_bolSendBuffering) return;
  if (m_ulngSendBufferUsed > 0) FlushSendBuffer();
  delete[] m_pbytSendBuffer;
  m_pbytSendBuffer = nullptr;
  m_ulngSendBufferSize = 0;
  m_ulngSendBufferUsed = 0;
  m_bolSendBuffering = false;
  HoldPartialSegments(m_udtSocket, false);
}

void clsGenProtThread::AddToTranscript(AnsiString line) {
  if (m_pudtController == nullptr) return;
  std::lock_guard<std::mutex> guard(m_pudtController->m_mtxTranscript);
  if (m_pudtController->m_pulstTranscript != nullptr) m_pudtController->m_pulstTranscript->Add(line);
}

void clsGenProtThread::ReleaseConnectionObjects() {
  if (m_bolTLSActive && m_udtTLSContext != nullptr) {
    OSStatus result = SSLClose(m_udtTLSContext);
    if (result != noErr) {
      DebugOutput(kDebugWarning, UniString(AnsiString("Error on TLS Close: ") + TLSError(result)));
    }
  }
  if (m_udtTLSContext != nullptr) {
    SSLDisposeContext(m_udtTLSContext);
    m_udtTLSContext = nullptr;
  }
  m_bolTLSActive = false;
  m_bolTLSHandshaking = false;
  if (m_udtSocketSource != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), m_udtSocketSource, m_udtMode);
    CFRunLoopSourceInvalidate(m_udtSocketSource);
    CFRelease(m_udtSocketSource);
    m_udtSocketSource = nullptr;
  }
  if (m_udtSocket != nullptr) {
    CFSocketInvalidate(m_udtSocket);
    CFRelease(m_udtSocket);
    m_udtSocket = nullptr;
    m_udtCheckedSocket = nullptr;
  }
  m_ulngTLSStart = 0;
  m_ulngTLSEnd = 0;
  m_ulngReceiveStart = 0;
  m_ulngReceiveEnd = 0;
  m_bolCRAtEnd = false;
  m_bolTLSPeerClosed = false;
}

void clsGenProtThread::CleanupSocket() {
  ReleaseConnectionObjects();
  if (m_udtAddrChangeSource != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), m_udtAddrChangeSource, kCFRunLoopDefaultMode);
    CFRunLoopSourceInvalidate(m_udtAddrChangeSource);
    CFRelease(m_udtAddrChangeSource);
    m_udtAddrChangeSource = nullptr;
  }
  if (m_udtAddrChangeStore != nullptr) {
    CFRelease(m_udtAddrChangeStore);
    m_udtAddrChangeStore = nullptr;
  }
  m_ulngSendBufferUsed = 0;
  m_astrLocalIP = AnsiString();
  m_astrLocalHost = AnsiString();
  if (m_pulstLocalIPs != nullptr) m_pulstLocalIPs->Clear();
  if (m_pulstLocalHosts != nullptr) m_pulstLocalHosts->Clear();
  m_astrHost = AnsiString();
  m_intPort = 0;
  m_intTimeout = 0;
  m_bolConnected = false;
  m_bolLineMode = false;
  m_deqCommands.clear();
  m_deqEvents.clear();
}
