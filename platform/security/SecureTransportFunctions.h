// SecureTransportFunctions: the table through which the Secure Transport stand-in calls its TLS
// engine. The engine (libplatform_security_openssl.so, over OpenSSL) is a module of its own
// beside libplatform_security.so, loaded the first time a context is made, so a program that
// never speaks TLS never loads OpenSSL. The module exports one function,
// SecureTransportOpenSSLFunctions, that answers the table; each entry behaves as the SSL function
// of the same name in SecureTransport.h.
#pragma once

#include "platform/security/SecureTransport.h"

struct stcSecureTransportFunctions {
  OSStatus (*m_fnNewContext)(Boolean isServer, SSLContextRef* contextPtr);
  OSStatus (*m_fnDisposeContext)(SSLContextRef context);
  OSStatus (*m_fnSetIOFuncs)(SSLContextRef context, SSLReadFunc read, SSLWriteFunc write);
  OSStatus (*m_fnSetConnection)(SSLContextRef context, SSLConnectionRef connection);
  OSStatus (*m_fnSetAllowsAnyRoot)(SSLContextRef context, Boolean anyRoot);
  OSStatus (*m_fnHandshake)(SSLContextRef context);
  OSStatus (*m_fnRead)(SSLContextRef context, void* data, size_t dataLength, size_t* processed);
  OSStatus (*m_fnWrite)(SSLContextRef context, void const* data, size_t dataLength, size_t* processed);
  OSStatus (*m_fnClose)(SSLContextRef context);
  OSStatus (*m_fnGetNegotiatedProtocolVersion)(SSLContextRef context, SSLProtocol* protocol);
  OSStatus (*m_fnGetSessionState)(SSLContextRef context, SSLSessionState* state);
};

extern "C" stcSecureTransportFunctions const* SecureTransportOpenSSLFunctions();
