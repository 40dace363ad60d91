// MacTextEditor: text views and their text objects (MLTE) in the headless window server.
// Interface: HITextViewCreate (a view holding one TXNObject), HITextViewGetTXNObject, and of the
// text object: TXNSetData and TXNGetDataEncoded (UTF-16 text over a range of offsets),
// TXNGetSelection and TXNSetSelection, TXNSetTXNObjectControls (margins, read-only),
// TXNGetTXNObjectControls, TXNDataSize, TXNForceUpdate, TXNShowSelection.
// Offsets count UTF-16 units; kTXNStartOffset and kTXNEndOffset name the ends of the text. A
// typed key reaches the text through the focused view (WindowsTesting.h); a read-only object
// refuses TXNSetData from the keyboard only, as the platform's does.
// Relies on Controls.h and MacMemory.h; failures on demand through WindowsTesting.h.
// Never throws: paramErr for a null object or bad range; memFullErr when a handle cannot be had.
#pragma once

#include "platform/carbon/Controls.h"
#include "platform/carbon/MacMemory.h"
#include "platform/carbon/MacTypes.h"

typedef struct OpaqueTXNObject* TXNObject;
typedef UInt32 TXNOffset;
typedef OSType TXNDataType;
typedef UInt32 TXNFrameOptions;
typedef UInt32 TXNControlTag;

enum : TXNOffset { kTXNStartOffset = 0, kTXNEndOffset = 0x7FFFFFFF };
enum : TXNDataType { kTXNUnicodeTextData = MakeFourCharCode("utxt"), kTXNTextData = MakeFourCharCode("TEXT") };
enum : TXNFrameOptions {
  kTXNAlwaysWrapAtViewEdgeMask = 1u << 11,
  kTXNReadOnlyMask = 1u << 5,
  kTXNMonostyledTextMask = 1u << 17,
  kTXNDoFontSubstitutionMask = 1u << 22
};
enum : TXNControlTag {
  kTXNMarginsTag = MakeFourCharCode("marg"),
  kTXNIOPrivilegesTag = MakeFourCharCode("priv")
};
enum : Boolean { kTXNReadWrite = 0, kTXNReadOnly = 1 };

struct TXNMargins {
  SInt16 topMargin;
  SInt16 leftMargin;
  SInt16 bottomMargin;
  SInt16 rightMargin;
};
union TXNControlData {
  UInt32 uValue;
  SInt32 sValue;
  TXNMargins* marginsPtr;
};

// A text view outside every window (add it to a scroll view or another view).
OSStatus HITextViewCreate(HIRect const* inBoundsRect, OptionBits inOptions,
                          TXNFrameOptions inTXNFrameOptions, HIViewRef* outTextView);
TXNObject HITextViewGetTXNObject(HIViewRef inTextView);

// Replaces the units from start to end (kTXNEndOffset: the end) by the given UTF-16 bytes.
OSStatus TXNSetData(TXNObject iTXNObject, TXNDataType iDataType, void const* iDataPtr,
                    ByteCount iDataSize, TXNOffset iStartOffset, TXNOffset iEndOffset);
// A new handle with the units from start to end as UTF-16 bytes; the caller disposes of it.
OSStatus TXNGetDataEncoded(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset,
                           Handle* oDataHandle, TXNDataType iEncoding);
OSStatus TXNGetData(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset,
                    Handle* oDataHandle);
ByteCount TXNDataSize(TXNObject iTXNObject);
void TXNGetSelection(TXNObject iTXNObject, TXNOffset* oStartOffset, TXNOffset* oEndOffset);
OSStatus TXNSetSelection(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset);
void TXNShowSelection(TXNObject iTXNObject, Boolean iShowEnd);
void TXNForceUpdate(TXNObject iTXNObject);
OSStatus TXNSetTXNObjectControls(TXNObject iTXNObject, Boolean iClearAll, ItemCount iControlCount,
                                 TXNControlTag const* iControlTags,
                                 TXNControlData const* iControlData);
OSStatus TXNGetTXNObjectControls(TXNObject iTXNObject, ItemCount iControlCount,
                                 TXNControlTag const* iControlTags, TXNControlData* oControlData);
