// SecureTransport: the stand-in's functions, each handed to the TLS engine module
// (SecureTransportFunctions.h). The module is looked for beside this library and loaded once, by
// the first context made; a program that never makes one never loads OpenSSL. When it cannot be
// loaded, making a context fails with errSSLInternal. Never throws.
#include "platform/security/SecureTransport.h"

#include <dlfcn.h>

#include <string>

#include "platform/security/SecureTransportFunctions.h"

namespace {

constexpr OSStatus kParamErr = -50;
constexpr char kModuleName[] = "libplatform_security_openssl.so";

stcSecureTransportFunctions const* LoadEngine() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void const*>(&LoadEngine), &info) == 0 || info.dli_fname == nullptr) return nullptr;
  std::string path(info.dli_fname);
  std::string::size_type const slash = path.rfind('/');
  path = slash == std::string::npos ? std::string(kModuleName) : path.substr(0, slash + 1) + kModuleName;
  // Kept loaded for the life of the process: contexts may outlive any caller's interest in TLS.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nullptr;
  auto const table = reinterpret_cast<stcSecureTransportFunctions const* (*)()>(
      dlsym(module, "SecureTransportOpenSSLFunctions"));
  return table != nullptr ? table() : nullptr;
}

stcSecureTransportFunctions const* Engine() {
  static stcSecureTransportFunctions const* const s_pudtEngine = LoadEngine();
  return s_pudtEngine;
}

// A context exists only once the engine is loaded; without one the call is a parameter error.
stcSecureTransportFunctions const* EngineFor(SSLContextRef context) {
  return context == nullptr ? nullptr : Engine();
}

}  // namespace

OSStatus SSLNewContext(Boolean isServer, SSLContextRef* contextPtr) {
  if (contextPtr == nullptr) return kParamErr;
  *contextPtr = nullptr;
  if (isServer) return kParamErr;
  stcSecureTransportFunctions const* engine = Engine();
  return engine == nullptr ? errSSLInternal : engine->m_fnNewContext(isServer, contextPtr);
}

OSStatus SSLDisposeContext(SSLContextRef context) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnDisposeContext(context);
}

OSStatus SSLSetIOFuncs(SSLContextRef context, SSLReadFunc read, SSLWriteFunc write) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnSetIOFuncs(context, read, write);
}

OSStatus SSLSetConnection(SSLContextRef context, SSLConnectionRef connection) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnSetConnection(context, connection);
}

OSStatus SSLSetAllowsAnyRoot(SSLContextRef context, Boolean anyRoot) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnSetAllowsAnyRoot(context, anyRoot);
}

OSStatus SSLHandshake(SSLContextRef context) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnHandshake(context);
}

OSStatus SSLRead(SSLContextRef context, void* data, size_t dataLength, size_t* processed) {
  if (processed != nullptr) *processed = 0;
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnRead(context, data, dataLength, processed);
}

OSStatus SSLWrite(SSLContextRef context, void const* data, size_t dataLength, size_t* processed) {
  if (processed != nullptr) *processed = 0;
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnWrite(context, data, dataLength, processed);
}

OSStatus SSLClose(SSLContextRef context) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnClose(context);
}

OSStatus SSLGetNegotiatedProtocolVersion(SSLContextRef context, SSLProtocol* protocol) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnGetNegotiatedProtocolVersion(context, protocol);
}

OSStatus SSLGetSessionState(SSLContextRef context, SSLSessionState* state) {
  auto engine = EngineFor(context);
  return engine == nullptr ? kParamErr : engine->m_fnGetSessionState(context, state);
}
