// MacOSGlue: each bridge is a few platform calls. Numbers are printed with std::to_chars, so
// the version text does not depend on the process locale. The CoreFoundation string may or may
// not hand out its units directly; both ways give the same text up to a first zero unit.
#include "core/MacOSGlue.h"

#include <charconv>
#include <new>
#include <string>

#include "dialogs/MessageDialog.h"
#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/Gestalt.h"

namespace {

constexpr int kHFSNameUnits = 255;

void AppendNumber(std::string* text, int value) {
  char digits[16];
  auto done = std::to_chars(digits, digits + sizeof digits, value);
  text->append(digits, done.ptr);
}

}  // namespace

CFStringRef UniStringToCFString(UniString text) {
  return CFStringCreateWithCharacters(kCFAllocatorDefault, text.GetBytes(), text.Length());
}

UniString CFStringToUniString(__CFString const* text) {
  if (text == nullptr) return UniString();
  CFIndex length = CFStringGetLength(text);
  if (length <= 0) return UniString();

  UniChar const* direct = CFStringGetCharactersPtr(text);
  if (direct != nullptr) return UniString(direct, length);

  UniChar* buffer = new (std::nothrow) UniChar[size_t(length) + 1];
  if (buffer == nullptr) return UniString();
  CFStringGetCharacters(text, CFRangeMake(0, length), buffer);
  buffer[length] = 0;
  UniString result(buffer, -1);  // up to the first zero unit
  delete[] buffer;
  return result;
}

int CFStringToHFSUniStr255(__CFString const* text, HFSUniStr255* name) {
  if (name == nullptr) return 0;
  name->length = 0;
  if (text == nullptr) return 0;
  CFIndex count = CFStringGetLength(text);
  if (count > kHFSNameUnits) count = kHFSNameUnits;
  CFIndex usedBytes = 0;
  CFIndex converted = CFStringGetBytes(text, CFRangeMake(0, count), kCFStringEncodingUnicode, 0,
                                       false, reinterpret_cast<UInt8*>(name->unicode),
                                       CFIndex(sizeof name->unicode), &usedBytes);
  name->length = UInt16(converted);
  return int(converted);
}

bool IsKeyDown(BigEndianLong* keyMap, short keyCode) {
  if (keyMap == nullptr || keyCode < 0 || keyCode > 127) return false;
  // The map is four big-endian words, so byte k div 8 in memory holds keys k div 8 * 8 and up.
  UInt8 const* bytes = reinterpret_cast<UInt8 const*>(keyMap);
  return ((bytes[keyCode / 8] >> (keyCode % 8)) & 1) != 0;
}

void OSX_ProcessMessages(EventTypeSpec const* types, double seconds) {
  EventRef event = nullptr;
  // A type count of 0 takes the next event of any kind.
  if (ReceiveNextEvent(0, types, seconds, true, &event) != noErr || event == nullptr) return;
  SendEventToEventTarget(event, GetEventDispatcherTarget());
  ReleaseEvent(event);
}

AnsiString GetMacOSVersion(int* major, int* minor, int* revision) {
  if (major != nullptr) *major = 0;
  if (minor != nullptr) *minor = 0;
  if (revision != nullptr) *revision = 0;

  SInt32 version = 0;
  if (Gestalt(gestaltSystemVersion, &version) != noErr) return AnsiString();

  // BCD: 0x1058 is 10.5.8; the major byte 0x10 reads as 16, hence the 6 taken off.
  int majorNumber = int((UInt32(version) >> 8) & 0xFF);
  if (majorNumber >= 16) majorNumber -= 6;
  int minorNumber = int((UInt32(version) >> 4) & 0x0F);
  int revisionNumber = int(UInt32(version) & 0x0F);

  std::string text = majorNumber > 9 ? "Mac OS X " : "Mac OS ";
  AppendNumber(&text, majorNumber);
  text += '.';
  AppendNumber(&text, minorNumber);
  text += '.';
  AppendNumber(&text, revisionNumber);
  text += " (Intel)";

  if (major != nullptr) *major = majorNumber;
  if (minor != nullptr) *minor = minorNumber;
  if (revision != nullptr) *revision = revisionNumber;
  return AnsiString(text.c_str());
}

bool SendURLToBrowser(UniString url) {
  OSType finder = MakeFourCharCode("MACS");
  AnsiString utf8 = url.GetAnsiString(1);
  AppleEvent event = {typeNull, nullptr};
  OSStatus built = AEBuildAppleEvent(kInternetEventClass, kAEGetURL, typeApplSignature, &finder,
                                     Size(sizeof finder), kAutoGenerateReturnID, kAnyTransactionID,
                                     &event, nullptr, "'----':TEXT(@)", Size(utf8.Length()),
                                     static_cast<void const*>(utf8.c_str()));
  if (built != noErr) return false;
  OSErr sent = AESend(&event, nullptr, kAENoReply, kAENormalPriority, kAEDefaultTimeout, nullptr,
                      nullptr);
  AEDisposeDesc(&event);
  return sent == noErr;
}

void ShowMessage(AnsiString text) {
  MessageDialog(UniString(text), kMsgDlgOK, UniString(), nullptr, UniString(), 0);
}
