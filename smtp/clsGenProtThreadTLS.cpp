// clsGenProtThread, TLS session: the client handshake over the thread's own buffers, Secure
// Transport's read and write functions, decryption of received records, and the English text of
// every Secure Transport or send result code. The handshake ends on success, on a failure, and
// also after the connection's time-out, on abort and when the peer closed the connection. After
// the peer's close_notify no further record is read and the connection counts as closed.
#include <errno.h>

#include <cstring>

#include "core/DebugLog.h"
#include "smtp/clsGenProtThread.h"

OSStatus GPThread_TLSReadCallback(SSLConnectionRef connection, void* data, size_t* length) {
  if (connection == nullptr) return 0;
  auto* thread = const_cast<clsGenProtThread*>(static_cast<clsGenProtThread const*>(connection));
  return thread->SocketTLSRead(data, length);
}

OSStatus GPThread_TLSWriteCallback(SSLConnectionRef connection, void const* data, size_t* length) {
  if (connection == nullptr) return 0;
  auto* thread = const_cast<clsGenProtThread*>(static_cast<clsGenProtThread const*>(connection));
  return thread->SocketTLSWrite(data, length);
}

void clsGenProtThread::DoHandshake() {
  OSStatus result = SSLNewContext(false, &m_udtTLSContext);
  if (result != noErr) {
    m_udtTLSContext = nullptr;
    m_astrError = AnsiString("Could not create TLS Context: ") + TLSError(result);
    return;
  }
  result = SSLSetIOFuncs(m_udtTLSContext, GPThread_TLSReadCallback, GPThread_TLSWriteCallback);
  if (result != noErr) {
    m_astrError = AnsiString("Could not set TLS IO Functions: ") + TLSError(result);
    return;
  }
  result = SSLSetConnection(m_udtTLSContext, this);
  if (result != noErr) {
    m_astrError = AnsiString("Could not set TLS Connection Reference: ") + TLSError(result);
    return;
  }
  SSLSetAllowsAnyRoot(m_udtTLSContext, true);

  m_bolTLSHandshaking = true;
  double deadline = Now() + EffectiveTimeout();
  m_dblBoundUntil.store(deadline);
  AnsiString bound;
  for (;;) {
    result = SSLHandshake(m_udtTLSContext);
    if (result != errSSLWouldBlock) break;
    if (m_bolAbort.load()) {
      bound = "The Protocol Thread was aborted.";
      break;
    }
    if (!m_bolConnected || m_bolInputRejected) {
      result = errSSLClosedAbort;
      break;
    }
    if (Now() > deadline) {
      bound = "Timed out waiting for the TLS handshake.";
      break;
    }
    CFRunLoopRunInMode(m_udtMode, 0.01, false);
  }
  if (bound.Length() > 0 || result != noErr) {
    m_astrError = AnsiString("TLS Handshake failed: ") + ((bound.Length() == 0) ? TLSError(result) : bound);
    m_bolTLSHandshaking = false;
    return;
  }
  m_bolTLSActive = true;
  DrainTLSBuffer();
  if (m_bolTLSPeerClosed) TLSClosedByPeer(true);
  SSLProtocol protocol = kSSLProtocolUnknown;
  if (SSLGetNegotiatedProtocolVersion(m_udtTLSContext, &protocol) == noErr) {
    char const* name = protocol == kSSLProtocol2   ? "SSL 2"
                       : protocol == kSSLProtocol3 ? "SSL 3"
                       : protocol == kTLSProtocol1 ? "TLS 1"
                                                   : "Unknown";
    DebugOutput(kDebugInfo, UniString("Protocol Version: ") + UniString(name));
  }
  m_bolTLSHandshaking = false;
}

OSStatus clsGenProtThread::SocketTLSRead(void* data, size_t* length) {
  if (data == nullptr || length == nullptr) {
    DebugOutput(kDebugWarning, UniString("clsGenProtThread::TLSRead: Data or DataLength is NULL, returning paramErr"));
    return -50;
  }
  size_t wanted = *length;
  *length = 0;
  if (m_pbytTLSBuffer == nullptr || m_ulngTLSEnd == 0 || m_ulngTLSEnd <= m_ulngTLSStart ||
      m_ulngTLSEnd - m_ulngTLSStart < wanted) {
    return errSSLWouldBlock;
  }
  std::memcpy(data, m_pbytTLSBuffer + m_ulngTLSStart, wanted);
  m_ulngTLSStart += unsigned(wanted);
  *length = wanted;
  return noErr;
}

OSStatus clsGenProtThread::SocketTLSWrite(void const* data, size_t* length) {
  if (data == nullptr || length == nullptr) {
    DebugOutput(kDebugWarning, UniString("clsGenProtThread::TLSWrite: Data or DataLength is NULL, returning paramErr"));
    return -50;
  }
  size_t count = *length;
  *length = 0;
  bool active = m_bolTLSActive;
  bool handshaking = m_bolTLSHandshaking;
  m_bolTLSActive = false;
  m_bolTLSHandshaking = false;
  int result = InternalSendData(static_cast<unsigned char const*>(data), int(count));
  m_bolTLSActive = active;
  m_bolTLSHandshaking = handshaking;
  if (result < 0) return OSStatus(result);
  *length = size_t(result);
  return noErr;
}

AnsiString clsGenProtThread::TLSError(long code) {
  AnsiString message;
  switch (code) {
    case -1:
    case -2: {
      int saved = errno;
      message = AnsiString(code == -1 ? "There was an error sending the TLS data. BSD Error: "
                                      : "Timed out trying to send the TLS data. BSD Error: ") +
                AnsiString(std::strerror(saved)) + AnsiString(" (") + AnsiString(saved) + AnsiString(")");
      break;
    }
    case -41: message = "Could not allocate memory for the TLS data that was being sent."; break;
    case -9800: message = "TLS Protocol error."; break;
    case -9801: message = "TLS cipher suite negotiation failed."; break;
    case -9802: message = "TLS fatal alert encountered."; break;
    case -9803: message = "TLS Function is blocked; waiting for I/O. (non-fatal)"; break;
    case -9804: message = "An attempt to restore an unknown TLS session failed."; break;
    case -9805: message = "TLS connection closed gracefully."; break;
    case -9806: message = "TLS connection closed due to an error."; break;
    case -9807: message = "Invalid TLS certificate chain."; break;
    case -9808: message = "Bad TLS certificate format."; break;
    case -9809: message = "An underlying TLS cryptographic error was encountered."; break;
    case -9810: message = "Internal TLS error."; break;
    case -9811: message = "TLS Module attach failure."; break;
    case -9812: message = "TLS certificate chaing is valid, but root is not trusted."; break;
    case -9813: message = "No root certificate for the TLS certificate chain."; break;
    case -9814: message = "The TLS certificate chain had an expired certificate."; break;
    case -9815: message = "The TLS certificate chain had a certificate that is not yet valid."; break;
    case -9816: message = "The server closed the TLS session with no notification."; break;
    case -9817: message = "An insufficient buffer was provided in the TLS session."; break;
    case -9818: message = "A bad TLS cipher suite was encountered."; break;
    case -9819: message = "An unexpected TLS message was received."; break;
    case -9820:
    case -9846: message = "A bad TLS record MAC was encountered."; break;
    case -9821:
    case -9845: message = "TLS decryption failed."; break;
    case -9822:
    case -9847: message = "A TLS record overflow occurred."; break;
    case -9823: message = "TLS decompression failed."; break;
    case -9824: message = "TLS handshake failed."; break;
    case -9825: message = "A bad TLS certificate was encountered."; break;
    case -9826: message = "An unsupported TLS certificate format was encountered."; break;
    case -9827: message = "The TLS certificate was revoked."; break;
    case -9828: message = "The TLS certificate expired."; break;
    case -9829: message = "The TLS certificate is unknown."; break;
    case -9830: message = "An illegal TLS parameter was encountered."; break;
    case -9831: message = "An unknown TLS certificate authority was encountered."; break;
    case -9832: message = "TLS Access was deinied."; break;
    case -9833: message = "A TLS decoding error occurred."; break;
    case -9834: message = "A TLS decryption error occurred."; break;
    case -9835: message = "A TLS export restriction occurred."; break;
    case -9836: message = "A bad TLS protocol version was encountered."; break;
    case -9837: message = "There is insufficient security for this TLS operation."; break;
    case -9838: message = "An internal TLS error occurred."; break;
    case -9839: message = "The user canceled the TLS operation."; break;
    case -9840: message = "No TLS renegotiation is allowed."; break;
    case -9844: message = "The peer dropped the TLS connection before responding."; break;
    case -9848: message = "A TLS configuration error occurred."; break;
    default: message = "Unknown TLS Error."; break;
  }
  return message + AnsiString(" (") + AnsiString(int(code)) + AnsiString(")");
}
