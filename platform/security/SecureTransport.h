// SecureTransport: the Secure Transport stand-in, TLS client sessions over OpenSSL 3 whose raw
// bytes go through the caller's read and write functions (SSLSetIOFuncs), never a socket.
// Interface: SSLNewContext, SSLDisposeContext, SSLSetIOFuncs, SSLSetConnection,
// SSLSetAllowsAnyRoot, SSLHandshake, SSLRead, SSLWrite, SSLClose,
// SSLGetNegotiatedProtocolVersion, SSLGetSessionState and the result codes.
// The read function answers all or nothing: errSSLWouldBlock until the whole requested count is
// there. No certificate is checked and no peer name is sent. A fatal alert from the peer maps to
// the code that names it (40 errSSLPeerHandshakeFail, 70 errSSLPeerProtocolVersion, ...), a
// close_notify to errSSLClosedGraceful, bytes that are no TLS record to errSSLProtocol; a
// negative result of the write function passes back unchanged. Only client contexts.
// Never throws.
#pragma once

#include <cstddef>

#include "platform/carbon/MacTypes.h"

typedef struct SSLContext* SSLContextRef;
typedef void const* SSLConnectionRef;
typedef OSStatus (*SSLReadFunc)(SSLConnectionRef connection, void* data, size_t* dataLength);
typedef OSStatus (*SSLWriteFunc)(SSLConnectionRef connection, void const* data,
                                 size_t* dataLength);

typedef int SSLProtocol;
enum : int {
  kSSLProtocolUnknown = 0,
  kSSLProtocol2 = 1,
  kSSLProtocol3 = 2,
  kTLSProtocol1 = 4,
  kTLSProtocol11 = 7,
  kTLSProtocol12 = 8,
  kTLSProtocol13 = 10
};

enum : OSStatus {
  errSSLProtocol = -9800,
  errSSLNegotiation = -9801,
  errSSLFatalAlert = -9802,
  errSSLWouldBlock = -9803,
  errSSLSessionNotFound = -9804,
  errSSLClosedGraceful = -9805,
  errSSLClosedAbort = -9806,
  errSSLInternal = -9810,
  errSSLUnexpectedMessage = -9819,
  errSSLBadRecordMac = -9820,
  errSSLDecryptionFail = -9821,
  errSSLRecordOverflow = -9822,
  errSSLDecompressFail = -9823,
  errSSLPeerHandshakeFail = -9824,
  errSSLPeerBadCert = -9825,
  errSSLPeerUnsupportedCert = -9826,
  errSSLPeerCertRevoked = -9827,
  errSSLPeerCertExpired = -9828,
  errSSLPeerCertUnknown = -9829,
  errSSLIllegalParam = -9830,
  errSSLPeerUnknownCA = -9831,
  errSSLPeerAccessDenied = -9832,
  errSSLPeerDecodeError = -9833,
  errSSLPeerDecryptError = -9834,
  errSSLPeerExportRestriction = -9835,
  errSSLPeerProtocolVersion = -9836,
  errSSLPeerInsufficientSecurity = -9837,
  errSSLPeerInternalError = -9838,
  errSSLPeerUserCancelled = -9839,
  errSSLPeerNoRenegotiation = -9840
};

typedef int SSLSessionState;
enum : int { kSSLIdle = 0, kSSLHandshake = 1, kSSLConnected = 2, kSSLClosed = 3, kSSLAborted = 4 };

OSStatus SSLNewContext(Boolean isServer, SSLContextRef* contextPtr);
OSStatus SSLDisposeContext(SSLContextRef context);
OSStatus SSLSetIOFuncs(SSLContextRef context, SSLReadFunc read, SSLWriteFunc write);
OSStatus SSLSetConnection(SSLContextRef context, SSLConnectionRef connection);
OSStatus SSLSetAllowsAnyRoot(SSLContextRef context, Boolean anyRoot);
OSStatus SSLHandshake(SSLContextRef context);
// Reads what the records received so far hold, up to dataLength bytes: noErr with *processed
// above 0, or errSSLWouldBlock with nothing.
OSStatus SSLRead(SSLContextRef context, void* data, size_t dataLength, size_t* processed);
OSStatus SSLWrite(SSLContextRef context, void const* data, size_t dataLength, size_t* processed);
OSStatus SSLClose(SSLContextRef context);
OSStatus SSLGetNegotiatedProtocolVersion(SSLContextRef context, SSLProtocol* protocol);
// kSSLClosed once the peer's close_notify has been read (also when SSLRead delivered data before
// it and answered noErr), kSSLAborted after a fatal alert, kSSLConnected after the handshake.
OSStatus SSLGetSessionState(SSLContextRef context, SSLSessionState* state);
