// FilesMeta: what the File Manager stand-in keeps of an item beyond the Linux file system's own
// data: the Finder information, the creation date and the locked flag in user extended
// attributes ("user.velmora.FinderInfo", "user.velmora.CreateDate", "user.velmora.Locked"), and
// the resource fork in an AppleDouble sidecar "._name" beside the item.
// The sidecar is the AppleDouble version 2 format: magic 0x00051607, version 0x00020000, 16
// filler bytes, an entry count, then entries of id, offset and length (big-endian). The stand-in
// writes the Finder information (9, 32 bytes), the file dates (8, 16 bytes), the Macintosh file
// information (10, 4 bytes) and the resource fork (2) last, so that the fork grows in place. A
// sidecar of another layout is rewritten into this one before its resource fork is written.
// Where the file system refuses user extended attributes (or the item is a symbolic link) the
// sidecar's entries 9, 8 and 10 hold the metadata instead; when both exist the attribute wins and
// entry 9 is kept as a copy for other AppleDouble readers.
// Relies on POSIX and Linux extended attributes (l*xattr: links are never followed). Failures
// are OSErr codes; a sidecar that is not AppleDouble is never overwritten (ioErr), and is no
// sidecar at all but an ordinary item (FilesIsOwnSidecar). Sidecars are opened without blocking.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"

namespace {

constexpr UInt32 kAppleDoubleMagic = 0x00051607;
constexpr UInt32 kAppleDoubleVersion = 0x00020000;
constexpr size_t kHeaderSize = 26;
constexpr size_t kEntrySize = 12;
constexpr UInt32 kEntryRsrcFork = 2;
constexpr UInt32 kEntryFileDates = 8;
constexpr UInt32 kEntryFinderInfo = 9;
constexpr UInt32 kEntryMacFileInfo = 10;
constexpr UInt32 kMaxEntries = 64;
constexpr UInt32 kMaxMetaEntrySize = 65536;  // entries other than the fork are small
constexpr UInt32 kUnknownDate = 0x80000000;  // AppleDouble's "no date"
constexpr UInt32 kSeconds1904To2000 = 3029529600u;

char const* const kAttrFinderInfo = "user.velmora.FinderInfo";
char const* const kAttrCreateDate = "user.velmora.CreateDate";
char const* const kAttrLocked = "user.velmora.Locked";

void PutBE16(UInt8* at, UInt16 value) {
  at[0] = UInt8(value >> 8);
  at[1] = UInt8(value);
}
void PutBE32(UInt8* at, UInt32 value) {
  at[0] = UInt8(value >> 24);
  at[1] = UInt8(value >> 16);
  at[2] = UInt8(value >> 8);
  at[3] = UInt8(value);
}
UInt16 GetBE16(UInt8 const* at) { return UInt16((at[0] << 8) | at[1]); }
UInt32 GetBE32(UInt8 const* at) {
  return (UInt32(at[0]) << 24) | (UInt32(at[1]) << 16) | (UInt32(at[2]) << 8) | UInt32(at[3]);
}

std::string SidecarOf(std::string const& realPath) {
  size_t pos = realPath.rfind('/');
  if (pos == std::string::npos) return "._" + realPath;
  return realPath.substr(0, pos + 1) + "._" + realPath.substr(pos + 1);
}

// The attribute could not be kept because the file system (or a link) takes none.
bool AttributesUnsupported(int error) { return error == ENOTSUP || error == EPERM; }

// A parsed sidecar: the small entries by id, and where the resource fork lies.
struct stcSidecar {
  std::map<UInt32, std::string> mapEntries;
  bool blnHasRsrc = false;
  UInt64 ulngRsrcOffset = 0;
  UInt64 ulngRsrcLength = 0;
  UInt64 ulngFileSize = 0;
};

bool ReadAll(int fd, UInt64 offset, size_t count, UInt8* out) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = pread(fd, out + done, count - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, UInt64 offset, size_t count, UInt8 const* in) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(fd, in + done, count - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// false when the file is not an AppleDouble sidecar (or cannot be read).
bool ParseSidecar(int fd, stcSidecar* sidecar, bool withData) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  sidecar->ulngFileSize = UInt64(st.st_size);
  UInt8 header[kHeaderSize];
  if (!ReadAll(fd, 0, kHeaderSize, header) || GetBE32(header) != kAppleDoubleMagic ||
      GetBE32(header + 4) != kAppleDoubleVersion)
    return false;
  UInt32 count = GetBE16(header + 24);
  if (count > kMaxEntries) return false;
  std::vector<UInt8> entries(count * kEntrySize);
  if (count > 0 && !ReadAll(fd, kHeaderSize, entries.size(), entries.data())) return false;
  for (UInt32 i = 0; i < count; ++i) {
    UInt32 id = GetBE32(&entries[i * kEntrySize]);
    UInt64 offset = GetBE32(&entries[i * kEntrySize + 4]);
    UInt64 length = GetBE32(&entries[i * kEntrySize + 8]);
    if (offset + length > sidecar->ulngFileSize) return false;
    if (id == kEntryRsrcFork) {
      sidecar->blnHasRsrc = true;
      sidecar->ulngRsrcOffset = offset;
      sidecar->ulngRsrcLength = length;
    } else if (withData) {
      if (length > kMaxMetaEntrySize) return false;
      std::string strData(size_t(length), '\0');
      if (length > 0 && !ReadAll(fd, offset, size_t(length), reinterpret_cast<UInt8*>(&strData[0])))
        return false;
      sidecar->mapEntries[id] = strData;
    }
  }
  return true;
}

// Offset of a small entry's data in a sidecar, or 0 when it has none of that length.
UInt64 EntryOffset(int fd, UInt32 wantedID, UInt32 wantedLength) {
  UInt8 header[kHeaderSize];
  if (!ReadAll(fd, 0, kHeaderSize, header) || GetBE32(header) != kAppleDoubleMagic) return 0;
  UInt32 count = GetBE16(header + 24);
  if (count > kMaxEntries) return 0;
  for (UInt32 i = 0; i < count; ++i) {
    UInt8 entry[kEntrySize];
    if (!ReadAll(fd, kHeaderSize + i * kEntrySize, kEntrySize, entry)) return 0;
    if (GetBE32(entry) == wantedID && GetBE32(entry + 8) == wantedLength) return GetBE32(entry + 4);
  }
  return 0;
}

void FillDefaults(stcSidecar* sidecar) {
  if (!sidecar->mapEntries.count(kEntryFinderInfo))
    sidecar->mapEntries[kEntryFinderInfo] = std::string(32, '\0');
  if (!sidecar->mapEntries.count(kEntryFileDates)) {
    UInt8 dates[16];
    for (int i = 0; i < 4; ++i) PutBE32(dates + 4 * i, kUnknownDate);
    sidecar->mapEntries[kEntryFileDates] = std::string(reinterpret_cast<char*>(dates), 16);
  }
  if (!sidecar->mapEntries.count(kEntryMacFileInfo))
    sidecar->mapEntries[kEntryMacFileInfo] = std::string(4, '\0');
}

// Writes the sidecar anew in the stand-in's layout (through a hidden temporary file renamed over
// it): the small entries, then, when keepRsrc, the resource fork copied from rsrcFD.
OSErr WriteSidecar(std::string const& sidecarPath, stcSidecar sidecar, int rsrcFD, bool keepRsrc) {
  FillDefaults(&sidecar);
  size_t count = sidecar.mapEntries.size() + (keepRsrc ? 1 : 0);
  std::vector<UInt8> head(kHeaderSize + count * kEntrySize, 0);
  PutBE32(&head[0], kAppleDoubleMagic);
  PutBE32(&head[4], kAppleDoubleVersion);
  PutBE16(&head[24], UInt16(count));
  UInt64 offset = head.size();
  std::string strBody;
  size_t index = 0;
  // Finder information first, as other AppleDouble writers place it.
  std::vector<UInt32> vecOrder = {kEntryFinderInfo};
  for (auto const& entry : sidecar.mapEntries)
    if (entry.first != kEntryFinderInfo) vecOrder.push_back(entry.first);
  for (UInt32 id : vecOrder) {
    std::string const& data = sidecar.mapEntries[id];
    UInt8* at = &head[kHeaderSize + index++ * kEntrySize];
    PutBE32(at, id);
    PutBE32(at + 4, UInt32(offset));
    PutBE32(at + 8, UInt32(data.size()));
    offset += data.size();
    strBody += data;
  }
  UInt64 ulngRsrcLength = keepRsrc && sidecar.blnHasRsrc ? sidecar.ulngRsrcLength : 0;
  if (keepRsrc) {
    UInt8* at = &head[kHeaderSize + index * kEntrySize];
    PutBE32(at, kEntryRsrcFork);
    PutBE32(at + 4, UInt32(offset));
    PutBE32(at + 8, UInt32(ulngRsrcLength));
  }
  std::string strFolder = sidecarPath.substr(0, sidecarPath.rfind('/') + 1);
  std::string strTemp = strFolder + "._velmora-XXXXXX";
  std::vector<char> vecTemp(strTemp.begin(), strTemp.end());
  vecTemp.push_back('\0');
  int fd = mkstemp(vecTemp.data());
  if (fd < 0) return FSStandInErrnoToOSErr(errno);
  bool blnOK = WriteAll(fd, 0, head.size(), head.data()) &&
               WriteAll(fd, head.size(), strBody.size(), reinterpret_cast<UInt8 const*>(strBody.data()));
  std::vector<UInt8> vecChunk(65536);
  for (UInt64 done = 0; blnOK && done < ulngRsrcLength;) {
    size_t n = size_t(std::min<UInt64>(vecChunk.size(), ulngRsrcLength - done));
    blnOK = ReadAll(rsrcFD, sidecar.ulngRsrcOffset + done, n, vecChunk.data()) &&
            WriteAll(fd, offset + done, n, vecChunk.data());
    done += n;
  }
  int intError = blnOK ? 0 : (errno != 0 ? errno : EIO);
  close(fd);
  if (blnOK && rename(vecTemp.data(), sidecarPath.c_str()) != 0) {
    blnOK = false;
    intError = errno;
  }
  if (!blnOK) {
    unlink(vecTemp.data());
    return FSStandInErrnoToOSErr(intError);
  }
  return noErr;
}

// Puts one small entry into the sidecar of realPath, making the sidecar when there is none.
OSErr SetSidecarEntry(std::string const& realPath, UInt32 id, std::string const& data, bool create) {
  std::string strSidecar = SidecarOf(realPath);
  int fd = open(strSidecar.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    if (errno != ENOENT) return FSStandInErrnoToOSErr(errno);
    if (!create) return noErr;
    stcSidecar sidecar;
    sidecar.mapEntries[id] = data;
    return WriteSidecar(strSidecar, sidecar, -1, false);
  }
  OSErr err = noErr;
  UInt64 offset = EntryOffset(fd, id, UInt32(data.size()));
  if (offset != 0) {
    if (!WriteAll(fd, offset, data.size(), reinterpret_cast<UInt8 const*>(data.data())))
      err = FSStandInErrnoToOSErr(errno);
  } else {
    stcSidecar sidecar;
    if (!ParseSidecar(fd, &sidecar, true)) {
      // An ordinary file holds the sidecar's name: not ours to overwrite. A copy kept in step
      // with the attributes has no place then and is not needed; the only copy fails.
      err = create ? OSErr(ioErr) : OSErr(noErr);
    } else {
      sidecar.mapEntries[id] = data;
      err = WriteSidecar(strSidecar, sidecar, fd, sidecar.blnHasRsrc);
    }
  }
  close(fd);
  return err;
}

}  // namespace

bool FilesIsOwnSidecar(std::string const& realPath) {
  size_t const slash = realPath.rfind('/');
  if (!FilesIsSidecarName(slash == std::string::npos ? realPath : realPath.substr(slash + 1))) return false;
  struct stat st;
  if (lstat(realPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = open(realPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  stcSidecar sidecar;
  bool const blnOurs = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ParseSidecar(fd, &sidecar, false);
  close(fd);
  return blnOurs;
}

namespace {

bool GetSidecarEntry(std::string const& realPath, UInt32 id, std::string* data) {
  int fd = open(SidecarOf(realPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  stcSidecar sidecar;
  bool blnOK = ParseSidecar(fd, &sidecar, true) && sidecar.mapEntries.count(id);
  if (blnOK) *data = sidecar.mapEntries[id];
  close(fd);
  return blnOK;
}

// An attribute's value; false when there is none.
bool GetAttr(std::string const& realPath, char const* name, std::string* value) {
  char buffer[64];
  ssize_t n = lgetxattr(realPath.c_str(), name, buffer, sizeof(buffer));
  if (n < 0) return false;
  value->assign(buffer, size_t(n));
  return true;
}

// Stores the attribute; when attributes cannot be kept, *unsupported is set and noErr returned.
OSErr SetAttr(std::string const& realPath, char const* name, std::string const& value,
              bool* unsupported) {
  *unsupported = false;
  if (lsetxattr(realPath.c_str(), name, value.data(), value.size(), 0) == 0) return noErr;
  if (AttributesUnsupported(errno)) {
    *unsupported = true;
    return noErr;
  }
  return FSStandInErrnoToOSErr(errno);
}

OSErr RemoveAttr(std::string const& realPath, char const* name) {
  if (lremovexattr(realPath.c_str(), name) == 0 || errno == ENODATA ||
      AttributesUnsupported(errno))
    return noErr;
  return FSStandInErrnoToOSErr(errno);
}

}  // namespace

void FilesMetaGetFinderInfo(std::string const& realPath, UInt8 finderInfo[32]) {
  std::memset(finderInfo, 0, 32);
  std::string strValue;
  if ((GetAttr(realPath, kAttrFinderInfo, &strValue) ||
       GetSidecarEntry(realPath, kEntryFinderInfo, &strValue)) &&
      strValue.size() == 32)
    std::memcpy(finderInfo, strValue.data(), 32);
}

OSErr FilesMetaSetFinderInfo(std::string const& realPath, UInt8 const finderInfo[32]) {
  std::string strValue(reinterpret_cast<char const*>(finderInfo), 32);
  bool blnUnsupported = false;
  OSErr err = SetAttr(realPath, kAttrFinderInfo, strValue, &blnUnsupported);
  if (err != noErr) return err;
  // The sidecar's copy is kept in step; without attributes it is the only copy.
  return SetSidecarEntry(realPath, kEntryFinderInfo, strValue, blnUnsupported);
}

bool FilesMetaGetCreateDate(std::string const& realPath, UTCDateTime* date) {
  std::string strValue;
  if (GetAttr(realPath, kAttrCreateDate, &strValue) && strValue.size() == 8) {
    UInt8 const* at = reinterpret_cast<UInt8 const*>(strValue.data());
    date->highSeconds = GetBE16(at);
    date->lowSeconds = GetBE32(at + 2);
    date->fraction = GetBE16(at + 6);
    return true;
  }
  if (GetSidecarEntry(realPath, kEntryFileDates, &strValue) && strValue.size() == 16) {
    UInt32 ulngSince2000 = GetBE32(reinterpret_cast<UInt8 const*>(strValue.data()));
    if (ulngSince2000 == kUnknownDate) return false;
    SInt64 intSeconds = SInt64(kSeconds1904To2000) + SInt32(ulngSince2000);
    if (intSeconds < 0) intSeconds = 0;
    *date = UTCDateTime{UInt16(UInt64(intSeconds) >> 32), UInt32(intSeconds), 0};
    return true;
  }
  return false;
}

OSErr FilesMetaSetCreateDate(std::string const& realPath, UTCDateTime const& date) {
  UInt8 value[8];
  PutBE16(value, date.highSeconds);
  PutBE32(value + 2, date.lowSeconds);
  PutBE16(value + 6, date.fraction);
  bool blnUnsupported = false;
  OSErr err = SetAttr(realPath, kAttrCreateDate, std::string(reinterpret_cast<char*>(value), 8),
                      &blnUnsupported);
  if (err != noErr || !blnUnsupported) return err;
  // The sidecar's dates are signed seconds since 2000 (the fraction is lost there).
  std::string strDates;
  if (!GetSidecarEntry(realPath, kEntryFileDates, &strDates) || strDates.size() != 16) {
    UInt8 dates[16];
    for (int i = 0; i < 4; ++i) PutBE32(dates + 4 * i, kUnknownDate);
    strDates.assign(reinterpret_cast<char*>(dates), 16);
  }
  SInt64 intSince2000 = SInt64((UInt64(date.highSeconds) << 32) | date.lowSeconds) - kSeconds1904To2000;
  if (intSince2000 < INT32_MIN + 1) intSince2000 = INT32_MIN + 1;
  if (intSince2000 > INT32_MAX) intSince2000 = INT32_MAX;
  PutBE32(reinterpret_cast<UInt8*>(&strDates[0]), UInt32(SInt32(intSince2000)));
  return SetSidecarEntry(realPath, kEntryFileDates, strDates, true);
}

bool FilesMetaGetLocked(std::string const& realPath) {
  std::string strValue;
  if (GetAttr(realPath, kAttrLocked, &strValue)) return strValue == "1";
  if (GetSidecarEntry(realPath, kEntryMacFileInfo, &strValue) && strValue.size() == 4)
    return (GetBE32(reinterpret_cast<UInt8 const*>(strValue.data())) & 1u) != 0;
  return false;
}

OSErr FilesMetaSetLocked(std::string const& realPath, bool locked) {
  UInt8 info[4];
  PutBE32(info, locked ? 1u : 0u);
  std::string strInfo(reinterpret_cast<char*>(info), 4);
  if (!locked) {
    OSErr err = RemoveAttr(realPath, kAttrLocked);
    if (err != noErr) return err;
    return SetSidecarEntry(realPath, kEntryMacFileInfo, strInfo, false);
  }
  bool blnUnsupported = false;
  OSErr err = SetAttr(realPath, kAttrLocked, "1", &blnUnsupported);
  if (err != noErr || !blnUnsupported) return err;
  return SetSidecarEntry(realPath, kEntryMacFileInfo, strInfo, true);
}

bool FilesMetaRsrcExtent(int sidecarFD, UInt64* offset, UInt64* length) {
  stcSidecar sidecar;
  if (!ParseSidecar(sidecarFD, &sidecar, false) || !sidecar.blnHasRsrc) return false;
  *offset = sidecar.ulngRsrcOffset;
  *length = sidecar.ulngRsrcLength;
  return true;
}

bool FilesMetaHasRsrcFork(std::string const& realPath, UInt64* length) {
  int fd = open(SidecarOf(realPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  UInt64 ulngOffset = 0, ulngLength = 0;
  bool blnHas = FilesMetaRsrcExtent(fd, &ulngOffset, &ulngLength);
  close(fd);
  if (blnHas && length) *length = ulngLength;
  return blnHas;
}

int FilesMetaOpenRsrc(std::string const& realPath, bool forWriting, OSErr* error) {
  std::string strSidecar = SidecarOf(realPath);
  int fd = open(strSidecar.c_str(), (forWriting ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0 && (errno != ENOENT || !forWriting)) {
    *error = errno == ENOENT ? OSErr(fnfErr) : FSStandInErrnoToOSErr(errno);
    return -1;
  }
  stcSidecar sidecar;
  if (fd >= 0) {
    if (!ParseSidecar(fd, &sidecar, true)) {
      close(fd);
      *error = forWriting ? OSErr(ioErr) : OSErr(fnfErr);  // a foreign file: left alone
      return -1;
    }
    if (!forWriting ||
        (sidecar.blnHasRsrc && sidecar.ulngRsrcOffset + sidecar.ulngRsrcLength == sidecar.ulngFileSize)) {
      if (!sidecar.blnHasRsrc && !forWriting) {
        close(fd);
        *error = fnfErr;
        return -1;
      }
      *error = noErr;
      return fd;
    }
  } else {
    // A new sidecar carries a copy of the Finder information for other AppleDouble readers.
    UInt8 finderInfo[32];
    FilesMetaGetFinderInfo(realPath, finderInfo);
    sidecar.mapEntries[kEntryFinderInfo] = std::string(reinterpret_cast<char*>(finderInfo), 32);
  }
  // Rewritten so that the resource fork is the last entry and can grow in place.
  OSErr err = WriteSidecar(strSidecar, sidecar, fd, true);
  if (fd >= 0) close(fd);
  if (err != noErr) {
    *error = err;
    return -1;
  }
  fd = open(strSidecar.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  *error = fd < 0 ? FSStandInErrnoToOSErr(errno) : OSErr(noErr);
  return fd;
}

OSErr FilesMetaSetRsrcLength(int sidecarFD, UInt64 length) {
  if (length > 0xFFFFFFFFull) return dskFulErr;  // AppleDouble lengths are 32-bit
  UInt8 header[kHeaderSize];
  if (!ReadAll(sidecarFD, 0, kHeaderSize, header)) return ioErr;
  UInt32 count = GetBE16(header + 24);
  for (UInt32 i = 0; i < count && i < kMaxEntries; ++i) {
    UInt8 entry[kEntrySize];
    if (!ReadAll(sidecarFD, kHeaderSize + i * kEntrySize, kEntrySize, entry)) return ioErr;
    if (GetBE32(entry) != kEntryRsrcFork) continue;
    PutBE32(entry + 8, UInt32(length));
    if (!WriteAll(sidecarFD, kHeaderSize + i * kEntrySize + 8, 4, entry + 8)) return ioErr;
    if (ftruncate(sidecarFD, off_t(GetBE32(entry + 4) + length)) != 0)
      return FSStandInErrnoToOSErr(errno);
    return noErr;
  }
  return errFSForkNotFound;
}

OSErr FilesMetaDeleteRsrc(std::string const& realPath) {
  std::string strSidecar = SidecarOf(realPath);
  int fd = open(strSidecar.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? OSErr(errFSForkNotFound) : FSStandInErrnoToOSErr(errno);
  stcSidecar sidecar;
  OSErr err = noErr;
  if (!ParseSidecar(fd, &sidecar, true)) err = ioErr;
  else if (!sidecar.blnHasRsrc) err = errFSForkNotFound;
  else err = WriteSidecar(strSidecar, sidecar, fd, false);
  close(fd);
  return err;
}

void FilesMetaCopyAttributes(std::string const& fromRealPath, std::string const& toRealPath) {
  ssize_t n = llistxattr(fromRealPath.c_str(), nullptr, 0);
  if (n <= 0) return;
  std::vector<char> vecNames(size_t(n) + 1, '\0');
  n = llistxattr(fromRealPath.c_str(), vecNames.data(), vecNames.size() - 1);
  if (n <= 0) return;
  for (size_t pos = 0; pos < size_t(n);) {
    std::string strName(&vecNames[pos]);
    pos += strName.size() + 1;
    if (strName.compare(0, 5, "user.") != 0) continue;
    ssize_t size = lgetxattr(fromRealPath.c_str(), strName.c_str(), nullptr, 0);
    if (size < 0) continue;
    std::vector<char> vecValue(size_t(size) + 1);
    size = lgetxattr(fromRealPath.c_str(), strName.c_str(), vecValue.data(), vecValue.size());
    if (size >= 0) lsetxattr(toRealPath.c_str(), strName.c_str(), vecValue.data(), size_t(size), 0);
  }
}
