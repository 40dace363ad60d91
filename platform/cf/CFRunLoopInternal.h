// CFRunLoopInternal: how a source kind of the CoreFoundation stand-in (CFSocket's) plugs into
// the run loop: it names a descriptor and the poll() events it waits for, or says it is ready
// without polling, and is performed with the events that came. Not part of the platform's
// interface; only the stand-in's own sources use it.
#pragma once

#include "platform/cf/CFRunLoop.h"

class clsRunLoopSourceBase : public CFRuntimeObject {
 public:
  clsRunLoopSourceBase() : CFRuntimeObject(kCFRuntimeTypeRunLoopSource) {}
  // The descriptor to poll (-1: none) and its events; called on the run loop's thread.
  virtual int PollDescriptor(short* events) = 0;
  // True when the source must be performed without waiting for its descriptor.
  virtual bool ReadyWithoutPoll() = 0;
  // revents: what poll() reported (0 when performed because ReadyWithoutPoll).
  virtual void Perform(short revents) = 0;
  virtual void Scheduled(CFRunLoopRef, CFStringRef) {}
  virtual void Cancelled(CFRunLoopRef, CFStringRef) {}
  virtual bool IsValid() = 0;
  virtual void Invalidate() = 0;
};
