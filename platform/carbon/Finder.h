// Finder: the QuickDraw point and rectangle and the Finder information records (FInfo, FXInfo,
// DInfo, DXInfo) that the File Manager and Navigation Services stand-ins both carry.
// Plain records, laid out as the platform declares them; no behaviour.
#pragma once

#include "platform/carbon/MacTypes.h"

struct Point {
  SInt16 v;
  SInt16 h;
};
struct Rect {
  SInt16 top;
  SInt16 left;
  SInt16 bottom;
  SInt16 right;
};
// A file's Finder information, as the filter callback's item information carries it.
struct FInfo {
  OSType fdType;
  OSType fdCreator;
  UInt16 fdFlags;
  Point fdLocation;
  SInt16 fdFldr;
};
struct FXInfo {
  SInt16 fdIconID;
  SInt16 fdReserved[3];
  SInt8 fdScript;
  SInt8 fdXFlags;
  SInt16 fdComment;
  SInt32 fdPutAway;
};
struct DInfo {
  Rect frRect;
  UInt16 frFlags;
  Point frLocation;
  SInt16 frView;
};
struct DXInfo {
  Point frScroll;
  SInt32 frOpenChain;
  SInt8 frScript;
  SInt8 frXFlags;
  SInt16 frComment;
  SInt32 frPutAway;
};
