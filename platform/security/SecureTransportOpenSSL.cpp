// SecureTransportOpenSSL: the Secure Transport stand-in's TLS engine, a module loaded by
// libplatform_security.so (SecureTransportFunctions.h). One OpenSSL client (SSL with a TLS client
// method) per context, reading and writing through a BIO of our own that calls the context's read
// and write functions. Read-ahead stays off, so OpenSSL asks for exactly a record header and then
// exactly its body, which suits the all-or-nothing read function. Alerts received are caught by
// the info callback to name the failure. Never throws.
#include "platform/security/SecureTransportFunctions.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <new>

struct SSLContext {
  SSL_CTX* m_pudtCtx = nullptr;
  SSL* m_pudtSSL = nullptr;
  BIO* m_pudtBIO = nullptr;
  SSLReadFunc m_fnRead = nullptr;
  SSLWriteFunc m_fnWrite = nullptr;
  SSLConnectionRef m_udtConnection = nullptr;
  OSStatus m_intIOError = 0;  // the last negative result of the write or read function
  int m_intAlertReceived = -1;  // description of a fatal alert (or close_notify) received
};

namespace {

constexpr OSStatus kParamErr = -50;

int ContextIndex() {
  static int s_intIndex = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return s_intIndex;
}

int BioWrite(BIO* bio, char const* data, int length) {
  auto* context = static_cast<SSLContext*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (context == nullptr || context->m_fnWrite == nullptr) return -1;
  size_t count = size_t(length);
  OSStatus result = context->m_fnWrite(context->m_udtConnection, data, &count);
  if (result == errSSLWouldBlock && count == 0) {
    BIO_set_retry_write(bio);
    return -1;
  }
  if (result < 0 && result != errSSLWouldBlock) {
    context->m_intIOError = result;
    return -1;
  }
  return int(count);
}

int BioRead(BIO* bio, char* data, int length) {
  auto* context = static_cast<SSLContext*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  if (context == nullptr || context->m_fnRead == nullptr) return -1;
  size_t count = size_t(length);
  OSStatus result = context->m_fnRead(context->m_udtConnection, data, &count);
  if (result == errSSLWouldBlock && count == 0) {
    BIO_set_retry_read(bio);
    return -1;
  }
  if (result < 0 && result != errSSLWouldBlock) {
    context->m_intIOError = result;
    return -1;
  }
  return int(count);
}

long BioCtrl(BIO*, int command, long, void*) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* BioMethod() {
  static BIO_METHOD* s_pudtMethod = [] {
    BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "SSLIOFuncs");
    BIO_meth_set_write(method, BioWrite);
    BIO_meth_set_read(method, BioRead);
    BIO_meth_set_ctrl(method, BioCtrl);
    return method;
  }();
  return s_pudtMethod;
}

void InfoCallback(SSL const* ssl, int where, int value) {
  if ((where & SSL_CB_READ_ALERT) == 0) return;
  auto* context = static_cast<SSLContext*>(SSL_get_ex_data(ssl, ContextIndex()));
  if (context == nullptr) return;
  int level = (value >> 8) & 0xFF;
  int description = value & 0xFF;
  if (level == SSL3_AL_FATAL || description == SSL_AD_CLOSE_NOTIFY) {
    context->m_intAlertReceived = description;
  }
}

OSStatus AlertCode(int description) {
  switch (description) {
    case SSL_AD_CLOSE_NOTIFY: return errSSLClosedGraceful;
    case SSL_AD_UNEXPECTED_MESSAGE: return errSSLUnexpectedMessage;
    case SSL_AD_BAD_RECORD_MAC: return errSSLBadRecordMac;
    case SSL_AD_DECRYPTION_FAILED: return errSSLDecryptionFail;
    case SSL_AD_RECORD_OVERFLOW: return errSSLRecordOverflow;
    case SSL_AD_DECOMPRESSION_FAILURE: return errSSLDecompressFail;
    case SSL_AD_HANDSHAKE_FAILURE: return errSSLPeerHandshakeFail;
    case SSL_AD_BAD_CERTIFICATE: return errSSLPeerBadCert;
    case SSL_AD_UNSUPPORTED_CERTIFICATE: return errSSLPeerUnsupportedCert;
    case SSL_AD_CERTIFICATE_REVOKED: return errSSLPeerCertRevoked;
    case SSL_AD_CERTIFICATE_EXPIRED: return errSSLPeerCertExpired;
    case SSL_AD_CERTIFICATE_UNKNOWN: return errSSLPeerCertUnknown;
    case SSL_AD_ILLEGAL_PARAMETER: return errSSLIllegalParam;
    case SSL_AD_UNKNOWN_CA: return errSSLPeerUnknownCA;
    case SSL_AD_ACCESS_DENIED: return errSSLPeerAccessDenied;
    case SSL_AD_DECODE_ERROR: return errSSLPeerDecodeError;
    case SSL_AD_DECRYPT_ERROR: return errSSLPeerDecryptError;
    case SSL_AD_EXPORT_RESTRICTION: return errSSLPeerExportRestriction;
    case SSL_AD_PROTOCOL_VERSION: return errSSLPeerProtocolVersion;
    case SSL_AD_INSUFFICIENT_SECURITY: return errSSLPeerInsufficientSecurity;
    case SSL_AD_INTERNAL_ERROR: return errSSLPeerInternalError;
    case SSL_AD_USER_CANCELLED: return errSSLPeerUserCancelled;
    case SSL_AD_NO_RENEGOTIATION: return errSSLPeerNoRenegotiation;
    default: return errSSLFatalAlert;
  }
}

// The code for a failed OpenSSL call.
OSStatus Failure(SSLContext* context, int result) {
  int error = SSL_get_error(context->m_pudtSSL, result);
  if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
    ERR_clear_error();
    return errSSLWouldBlock;
  }
  ERR_clear_error();
  if (context->m_intIOError != 0) {
    OSStatus io = context->m_intIOError;
    context->m_intIOError = 0;
    return io;
  }
  if (error == SSL_ERROR_ZERO_RETURN) return errSSLClosedGraceful;
  if (context->m_intAlertReceived >= 0) return AlertCode(context->m_intAlertReceived);
  return error == SSL_ERROR_SYSCALL ? errSSLClosedAbort : errSSLProtocol;
}

OSStatus NewContext(Boolean isServer, SSLContextRef* contextPtr) {
  if (contextPtr == nullptr) return kParamErr;
  *contextPtr = nullptr;
  if (isServer) return kParamErr;
  auto* context = new (std::nothrow) SSLContext;
  if (context == nullptr) return -108;  // memFullErr
  context->m_pudtCtx = SSL_CTX_new(TLS_client_method());
  if (context->m_pudtCtx != nullptr) {
    SSL_CTX_set_verify(context->m_pudtCtx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_read_ahead(context->m_pudtCtx, 0);
    SSL_CTX_set_mode(context->m_pudtCtx, SSL_MODE_ENABLE_PARTIAL_WRITE);
    context->m_pudtSSL = SSL_new(context->m_pudtCtx);
  }
  if (context->m_pudtSSL != nullptr) context->m_pudtBIO = BIO_new(BioMethod());
  if (context->m_pudtBIO == nullptr) {
    SSL_free(context->m_pudtSSL);
    SSL_CTX_free(context->m_pudtCtx);
    delete context;
    ERR_clear_error();
    return errSSLInternal;
  }
  BIO_set_data(context->m_pudtBIO, context);
  BIO_set_init(context->m_pudtBIO, 1);
  SSL_set_bio(context->m_pudtSSL, context->m_pudtBIO, context->m_pudtBIO);
  SSL_set_ex_data(context->m_pudtSSL, ContextIndex(), context);
  SSL_set_info_callback(context->m_pudtSSL, InfoCallback);
  SSL_set_connect_state(context->m_pudtSSL);
  *contextPtr = context;
  return noErr;
}

OSStatus DisposeContext(SSLContextRef context) {
  if (context == nullptr) return kParamErr;
  SSL_free(context->m_pudtSSL);  // frees the BIO too
  SSL_CTX_free(context->m_pudtCtx);
  delete context;
  return noErr;
}

OSStatus SetIOFuncs(SSLContextRef context, SSLReadFunc read, SSLWriteFunc write) {
  if (context == nullptr) return kParamErr;
  context->m_fnRead = read;
  context->m_fnWrite = write;
  return noErr;
}

OSStatus SetConnection(SSLContextRef context, SSLConnectionRef connection) {
  if (context == nullptr) return kParamErr;
  context->m_udtConnection = connection;
  return noErr;
}

OSStatus SetAllowsAnyRoot(SSLContextRef context, Boolean) {
  return context == nullptr ? kParamErr : noErr;
}

OSStatus Handshake(SSLContextRef context) {
  if (context == nullptr) return kParamErr;
  int result = SSL_do_handshake(context->m_pudtSSL);
  if (result == 1) return noErr;
  return Failure(context, result);
}

OSStatus Read(SSLContextRef context, void* data, size_t dataLength, size_t* processed) {
  if (processed != nullptr) *processed = 0;
  if (context == nullptr || processed == nullptr || (data == nullptr && dataLength > 0)) return kParamErr;
  auto* bytes = static_cast<unsigned char*>(data);
  size_t total = 0;
  while (total < dataLength) {
    size_t got = 0;
    int result = SSL_read_ex(context->m_pudtSSL, bytes + total, dataLength - total, &got);
    if (result == 1) {
      total += got;
      continue;
    }
    OSStatus failure = Failure(context, result);
    if (total > 0 && (failure == errSSLWouldBlock || failure == errSSLClosedGraceful)) break;
    *processed = total;
    return failure;
  }
  *processed = total;
  return noErr;
}

OSStatus Write(SSLContextRef context, void const* data, size_t dataLength, size_t* processed) {
  if (processed != nullptr) *processed = 0;
  if (context == nullptr || processed == nullptr || (data == nullptr && dataLength > 0)) return kParamErr;
  auto const* bytes = static_cast<unsigned char const*>(data);
  size_t total = 0;
  while (total < dataLength) {
    size_t written = 0;
    int result = SSL_write_ex(context->m_pudtSSL, bytes + total, dataLength - total, &written);
    if (result != 1) {
      *processed = total;
      return Failure(context, result);
    }
    total += written;
  }
  *processed = total;
  return noErr;
}

OSStatus Close(SSLContextRef context) {
  if (context == nullptr) return kParamErr;
  int result = SSL_shutdown(context->m_pudtSSL);
  if (result >= 0) return noErr;
  OSStatus failure = Failure(context, result);
  return failure == errSSLWouldBlock ? noErr : failure;
}

OSStatus GetNegotiatedProtocolVersion(SSLContextRef context, SSLProtocol* protocol) {
  if (context == nullptr || protocol == nullptr) return kParamErr;
  switch (SSL_version(context->m_pudtSSL)) {
    case SSL3_VERSION: *protocol = kSSLProtocol3; break;
    case TLS1_VERSION: *protocol = kTLSProtocol1; break;
    case TLS1_1_VERSION: *protocol = kTLSProtocol11; break;
    case TLS1_2_VERSION: *protocol = kTLSProtocol12; break;
    case TLS1_3_VERSION: *protocol = kTLSProtocol13; break;
    default: *protocol = kSSLProtocolUnknown; break;
  }
  return noErr;
}

OSStatus GetSessionState(SSLContextRef context, SSLSessionState* state) {
  if (context == nullptr || state == nullptr) return kParamErr;
  if ((SSL_get_shutdown(context->m_pudtSSL) & SSL_RECEIVED_SHUTDOWN) != 0) {
    *state = kSSLClosed;
  } else if (context->m_intAlertReceived >= 0) {
    *state = kSSLAborted;
  } else if (SSL_is_init_finished(context->m_pudtSSL)) {
    *state = kSSLConnected;
  } else {
    *state = SSL_in_before(context->m_pudtSSL) ? kSSLIdle : kSSLHandshake;
  }
  return noErr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) stcSecureTransportFunctions const* SecureTransportOpenSSLFunctions() {
  static stcSecureTransportFunctions const s_udtFunctions{
      NewContext, DisposeContext, SetIOFuncs, SetConnection, SetAllowsAnyRoot, Handshake,
      Read, Write, Close, GetNegotiatedProtocolVersion, GetSessionState};
  return &s_udtFunctions;
}
