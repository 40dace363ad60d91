// PrivateItems: owner and mode checks and private creation over the File Manager's catalogue
// calls. An item is found by its name inside its folder, so a link as the last step of a path
// is the link itself. Nothing throws.
#include "core/PrivateItems.h"

#include <unistd.h>

#include <cstring>

#include "files/XFileStream.h"
#include "platform/carbon/Files.h"

namespace {

constexpr uint32_t kSymLinkType = 0x736C6E6B;     // 'slnk'
constexpr uint32_t kSymLinkCreator = 0x72686170;  // 'rhap'
constexpr uint32_t kGroupOrOthersWrite = 0022;
constexpr uint32_t kGroupOrOthersAny = 0077;

uint32_t FourCharCodeAt(UInt8 const* at) {
  uint32_t code = 0;
  std::memcpy(&code, at, sizeof code);
  return code;
}

void PutFourCharCode(UInt8* at, uint32_t code) { std::memcpy(at, &code, sizeof code); }

bool FolderAndName(XFileSpec& item, FSRef* folder, UniString* name) {
  return GetFolderAndCatalogName(item, folder, name);
}

bool InfoOfRef(FSRef const* ref, stcItemInfo* info) {
  FSCatalogInfo catalog;
  std::memset(&catalog, 0, sizeof catalog);
  if (FSGetCatalogInfo(ref, kFSCatInfoNodeFlags | kFSCatInfoFinderInfo | kFSCatInfoPermissions,
                       &catalog, nullptr, nullptr, nullptr) != noErr) {
    return false;
  }
  info->bolExists = true;
  info->bolFolder = (catalog.nodeFlags & kFSNodeIsDirectoryMask) != 0;
  info->bolLink = !info->bolFolder && FourCharCodeAt(catalog.finderInfo) == kSymLinkType &&
                  FourCharCodeAt(catalog.finderInfo + 4) == kSymLinkCreator;
  info->ulngOwner = catalog.permissions[0];
  info->ulngMode = catalog.permissions[2] & 07777;
  return true;
}

}  // namespace

uint32_t CurrentUserID() { return static_cast<uint32_t>(geteuid()); }

bool GetItemInfo(XFileSpec& item, stcItemInfo* info) {
  *info = stcItemInfo{false, false, false, 0, 0};
  FSRef folder;
  UniString name;
  if (!FolderAndName(item, &folder, &name)) return false;
  FSRef ref;
  if (FSMakeFSRefUnicode(&folder, UniCharCount(name.Length()), name.GetBytes(),
                         kTextEncodingUnknown, &ref) != noErr) {
    return false;
  }
  return InfoOfRef(&ref, info);
}

bool FolderOthersCanWrite(XFileSpec& folder) {
  FSRef ref;
  stcItemInfo info = {false, false, false, 0, 0};
  if (!folder.GetFSRef(&ref, true) || !InfoOfRef(&ref, &info) || !info.bolFolder) return true;
  return info.ulngOwner != CurrentUserID() || (info.ulngMode & kGroupOrOthersWrite) != 0;
}

bool MakeFolderPrivate(XFileSpec& folder) {
  FSRef ref;
  FSCatalogInfo catalog;
  std::memset(&catalog, 0, sizeof catalog);
  if (!folder.GetFSRef(&ref, true) ||
      FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags | kFSCatInfoPermissions, &catalog, nullptr,
                       nullptr, nullptr) != noErr ||
      (catalog.nodeFlags & kFSNodeIsDirectoryMask) == 0 ||
      catalog.permissions[0] != CurrentUserID()) {
    return false;
  }
  if ((catalog.permissions[2] & kGroupOrOthersAny) == 0) return true;
  catalog.permissions[2] = (catalog.permissions[2] & ~UInt32(07777)) | kPrivateFolderMode;
  return FSSetCatalogInfo(&ref, kFSCatInfoPermissions, &catalog) == noErr;
}

bool CreatePrivateFile(XFileSpec& item, uint32_t creator, uint32_t fileType) {
  FSRef folder;
  UniString name;
  if (!FolderAndName(item, &folder, &name)) return false;
  FSCatalogInfo catalog;
  std::memset(&catalog, 0, sizeof catalog);
  PutFourCharCode(catalog.finderInfo, fileType);
  PutFourCharCode(catalog.finderInfo + 4, creator);
  catalog.permissions[0] = CurrentUserID();
  catalog.permissions[1] = static_cast<UInt32>(getegid());
  catalog.permissions[2] = kPrivateFileMode;
  FSRef created;
  return FSCreateFileUnicode(&folder, UniCharCount(name.Length()), name.GetBytes(),
                             kFSCatInfoFinderInfo | kFSCatInfoPermissions, &catalog, &created,
                             nullptr) == noErr;
}
