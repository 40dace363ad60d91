// CFSocket: the CoreFoundation socket stand-in over a non-blocking BSD socket whose callbacks
// run in a run loop (CFSocketCreateRunLoopSource).
// Interface: CFSocketCreate, CFSocketConnectToAddress, CFSocketCreateRunLoopSource,
// CFSocketSendData, CFSocketInvalidate, CFSocketIsValid, CFSocketGetNative.
// Callbacks: kCFSocketConnectCallBack once the connect has an outcome (data NULL on success,
// else a pointer to the SInt32 error code; also for a connect refused at once);
// kCFSocketDataCallBack with a CFDataRef of the bytes read, and at the end of the stream (or a
// read error) one empty CFDataRef, after which the socket is no longer read.
// CFSocketSendData sends every byte, waiting up to its time-out for room: kCFSocketTimeout with
// errno ETIMEDOUT when it runs out, kCFSocketError with errno set on failure. A peer that closed
// never raises SIGPIPE. Relies on CFRunLoop, CFData. Never throws.
#pragma once

#include "platform/cf/CFBase.h"
#include "platform/cf/CFData.h"
#include "platform/cf/CFDate.h"
#include "platform/cf/CFRunLoop.h"

typedef struct __CFSocket* CFSocketRef;
typedef int CFSocketNativeHandle;

enum : CFTypeID { kCFRuntimeTypeSocket = 27 };

typedef CFIndex CFSocketError;
enum : CFIndex { kCFSocketSuccess = 0, kCFSocketError = -1, kCFSocketTimeout = -2 };

typedef CFOptionFlags CFSocketCallBackType;
enum : CFOptionFlags {
  kCFSocketNoCallBack = 0,
  kCFSocketReadCallBack = 1,
  kCFSocketAcceptCallBack = 2,
  kCFSocketDataCallBack = 3,
  kCFSocketConnectCallBack = 4,
  kCFSocketWriteCallBack = 8
};

typedef void (*CFSocketCallBack)(CFSocketRef s, CFSocketCallBackType type, CFDataRef address,
                                 void const* data, void* info);

struct CFSocketContext {
  CFIndex version;
  void* info;
  void const* (*retain)(void const* info);
  void (*release)(void const* info);
  void const* copyDescription;
};

CFTypeID CFSocketGetTypeID(void);
// callBackTypes: kCFSocketDataCallBack and/or kCFSocketConnectCallBack (others are ignored).
CFSocketRef CFSocketCreate(CFAllocatorRef allocator, SInt32 protocolFamily, SInt32 socketType,
                           SInt32 protocol, CFOptionFlags callBackTypes, CFSocketCallBack callout,
                           CFSocketContext const* context);
// address: a CFData holding a sockaddr. A negative timeout starts the connect and returns at
// once; the outcome comes through the connect callback.
CFSocketError CFSocketConnectToAddress(CFSocketRef s, CFDataRef address, CFTimeInterval timeout);
CFRunLoopSourceRef CFSocketCreateRunLoopSource(CFAllocatorRef allocator, CFSocketRef s,
                                               CFIndex order);
CFSocketError CFSocketSendData(CFSocketRef s, CFDataRef address, CFDataRef data,
                               CFTimeInterval timeout);
void CFSocketInvalidate(CFSocketRef s);  // closes the descriptor; no callback after it
Boolean CFSocketIsValid(CFSocketRef s);
CFSocketNativeHandle CFSocketGetNative(CFSocketRef s);  // -1 once invalid
