// AppleEvents: the Apple Event Manager stand-in, enough to build an event, send it and dispose
// of it.
// Interface: the descriptor types (AEDesc, AEAddressDesc, AppleEvent ...), AEBuildAppleEvent
// with a parameter string of "key:type(@)" entries (each @ takes a Size and a data pointer),
// AESend, AEDisposeDesc. Every sent event is recorded for tests
// (AEGetSentEventsForTesting). A 'GURL' event sent to the Finder ('MACS') is also handed to
// xdg-open on a desktop session (DISPLAY or WAYLAND_DISPLAY set) unless VELMORA_NO_BROWSER is
// set or a test has switched the hand-off off.
// Relies on the C++ standard library and posix_spawn. Failures come back as codes:
// errAEBuildSyntaxError for a parameter string it cannot read, procNotFound when the browser
// helper cannot be started, whatever a test makes AESend answer; never throws.
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/MacTypes.h"

typedef ResType DescType;
typedef FourCharCode AEKeyword;
typedef FourCharCode AEEventClass;
typedef FourCharCode AEEventID;
typedef SInt16 AEReturnID;
typedef SInt32 AETransactionID;
typedef SInt32 AESendMode;
typedef SInt16 AESendPriority;

typedef struct OpaqueAEDataStorageType* AEDataStorageType;
typedef AEDataStorageType* AEDataStorage;

struct AEDesc {
  DescType descriptorType;
  AEDataStorage dataHandle;
};
typedef AEDesc AEAddressDesc;
typedef AEDesc AEDescList;
typedef AEDescList AERecord;
typedef AERecord AppleEvent;

struct AEBuildError {
  UInt32 fError;     // 0, or the kind of syntax fault
  UInt32 fErrorPos;  // offset into the parameter string where reading stopped
};

enum : DescType {
  typeNull = MakeFourCharCode("null"),
  typeChar = MakeFourCharCode("TEXT"),
  typeUTF8Text = MakeFourCharCode("utf8"),
  typeApplSignature = MakeFourCharCode("sign"),
  typeAppleEvent = MakeFourCharCode("aevt")
};
enum : AEKeyword { keyDirectObject = MakeFourCharCode("----") };
enum : AEEventClass { kInternetEventClass = MakeFourCharCode("GURL") };
enum : AEEventID { kAEGetURL = MakeFourCharCode("GURL") };

enum : SInt16 { kAutoGenerateReturnID = -1 };
enum : SInt32 { kAnyTransactionID = 0 };
enum : SInt32 {
  kAENoReply = 0x00000001,
  kAEQueueReply = 0x00000002,
  kAEWaitReply = 0x00000003,
  kAENeverInteract = 0x00000010,
  kAECanInteract = 0x00000020,
  kAEAlwaysInteract = 0x00000030
};
enum : SInt16 { kAENormalPriority = 0x00000000, kAEHighPriority = 0x00000001 };
enum : SInt32 { kAEDefaultTimeout = -1, kNoTimeOut = -2 };

enum : SInt32 {
  procNotFound = -600,
  errAEDescNotFound = -1701,
  errAEWrongDataType = -1703,
  errAENotAEDesc = -1704,
  errAEBuildSyntaxError = -1740
};

// Kinds of AEBuildError::fError that this reader reports.
enum : UInt32 {
  aeBuildSyntaxNoErr = 0,
  aeBuildSyntaxBadToken = 1,
  aeBuildSyntaxMissingQuote = 5,
  aeBuildSyntaxBadData = 12,
  aeBuildSyntaxNoCloseParen = 13,
  aeBuildSyntaxNoKey = 16,
  aeBuildSyntaxNoColon = 17
};

typedef Boolean (*AEIdleProcPtr)(void* theEvent, SInt32* sleepTime, void* mouseRgn);
typedef AEIdleProcPtr AEIdleUPP;
typedef Boolean (*AEFilterProcPtr)(void* theEvent, SInt32 returnID, SInt32 transactionID,
                                   AEAddressDesc const* sender);
typedef AEFilterProcPtr AEFilterUPP;

// Builds an event of the class and id addressed by (addressType, addressData). The parameter
// string is a comma-separated list of key:type(@) entries; keys and types are four characters,
// quoted with apostrophes unless they are plain letters and digits; each @ consumes a Size
// (the byte count) and then a void const* (the bytes). On failure *result is a null descriptor.
OSStatus AEBuildAppleEvent(AEEventClass theClass, AEEventID theID, DescType addressType,
                           void const* addressData, Size addressLength, SInt16 returnID,
                           SInt32 transactionID, AppleEvent* result, AEBuildError* error,
                           char const* paramsFmt, ...);

// Records the event and delivers it; a reply is never produced (*reply, when given, becomes a
// null descriptor). errAENotAEDesc when the descriptor is no event built here.
OSErr AESend(AppleEvent const* theAppleEvent, AppleEvent* reply, AESendMode sendMode,
             AESendPriority sendPriority, SInt32 timeOutInTicks, AEIdleUPP idleProc,
             AEFilterUPP filterProc);

// Frees the descriptor's data and makes it a null descriptor; a null descriptor is fine.
OSErr AEDisposeDesc(AEDesc* theAEDesc);

// One event as AESend saw it.
struct AESentEventForTesting {
  AEEventClass eventClass;
  AEEventID eventID;
  DescType addressType;
  std::string addressData;  // the address bytes, e.g. the four bytes of a signature
  OSType targetSignature;   // the signature when addressed by typeApplSignature, else 0
  std::string directText;   // the bytes of the direct parameter, empty when there is none
};

std::vector<AESentEventForTesting> AEGetSentEventsForTesting();
void AEClearSentEventsForTesting();
// AESend answers this code, recording nothing, from now on; noErr restores normal sending.
void AESetSendResultForTesting(OSErr result);
// AEBuildAppleEvent answers this code from now on; noErr restores normal building.
void AESetBuildResultForTesting(OSStatus result);
// Switches the hand-off of URLs to the desktop's browser on or off for this process.
void AESetBrowserLaunchEnabledForTesting(bool enabled);

// ---------------------------------------------------------------------------------------------
// Data descriptors and descriptor lists (implemented with the Navigation Services stand-in,
// which hands them out as dialog locations and reply selections).
// A data descriptor owns a copy of its bytes; a list ('list') owns copies of its items. Both
// are freed with AEDisposeDesc.
// ---------------------------------------------------------------------------------------------

enum : DescType {
  typeAEList = MakeFourCharCode("list"),
  typeWildCard = MakeFourCharCode("****"),
  typeFSRef = MakeFourCharCode("fsrf"),
  typeFSS = MakeFourCharCode("fss ")
};

enum : SInt32 {
  errAECoercionFail = -1700,
  errAEIllegalIndex = -1719
};

// A descriptor of the type holding a copy of dataSize bytes. typeNull, typeAppleEvent or
// typeAEList as the type, or a negative size, give errAEWrongDataType; *result is then null.
OSErr AECreateDesc(DescType typeCode, void const* dataPtr, Size dataSize, AEDesc* result);
// An empty list. Factoring and records are not supported (errAEWrongDataType).
OSErr AECreateList(void const* factoringPtr, Size factoredSize, Boolean isRecord,
                   AEDescList* resultList);
// Puts a copy of the bytes as item index (1-based) of the list; 0 or count + 1 appends.
OSErr AEPutPtr(AEDescList* theAEDescList, SInt32 index, DescType typeCode, void const* dataPtr,
               Size dataSize);
OSErr AECountItems(AEDescList const* theAEDescList, SInt32* theCount);
// Item index (1-based) of the list: its type (which must equal desiredType unless that is
// typeWildCard, else errAECoercionFail), at most maximumSize of its bytes into dataPtr and its
// full size into *actualSize. errAEIllegalIndex for an index outside the list. The keyword of a
// list item is typeWildCard.
OSErr AEGetNthPtr(AEDescList const* theAEDescList, SInt32 index, DescType desiredType,
                  AEKeyword* theAEKeyword, DescType* typeCode, void* dataPtr, Size maximumSize,
                  Size* actualSize);
// The byte count of a data descriptor (0 for anything else) and a copy of at most maximumSize
// of its bytes.
Size AEGetDescDataSize(AEDesc const* theAEDesc);
OSErr AEGetDescData(AEDesc const* theAEDesc, void* dataPtr, Size maximumSize);

// Frees what AECreateDesc or AECreateList made and nulls the descriptor; false (nothing done)
// for a descriptor that is not one of them. AEDisposeDesc calls it for every descriptor that is
// no Apple event.
bool AEDisposeDataDescriptor(AEDesc* theAEDesc);
