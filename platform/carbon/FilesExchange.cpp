// FilesExchange: FSExchangeObjects, the File Manager's exchange of two files' contents, over
// renameat2(RENAME_EXCHANGE): the two names stay where they are and swap the items behind
// them in one step, so a reader of either name sees the one item or the other, never a mix or
// nothing. Each item's sidecar goes with it. A symbolic link counts as a file here and is
// exchanged as the link itself, never as what it points to.
// Relies on the stand-in's reference table and sidecar rule (FilesShared.h) and Linux's
// renameat2. Failures are OSErr codes as in Files.h; nothing throws.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"

namespace {

bool ExistsItem(std::string const& realPath) {
  struct stat st;
  return lstat(realPath.c_str(), &st) == 0;
}

}  // namespace

OSErr FSExchangeObjects(FSRef const* ref, FSRef const* destRef) {
  if (ref == nullptr || destRef == nullptr) return paramErr;
  std::string strPath, strDest;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesRefGetLivePath(destRef, &strDest);
  if (err == noErr) err = FilesCheckCall("FSExchangeObjects", strPath);
  if (err != noErr) return err;
  if (FilesVolumeOfPath(strPath).intVRefNum != FilesVolumeOfPath(strDest).intVRefNum)
    return diffVolErr;
  if (strPath == strDest) return noErr;
  std::string const strReal = FSStandInRealPath(strPath), strRealDest = FSStandInRealPath(strDest);
  struct stat st, stDest;
  if (lstat(strReal.c_str(), &st) != 0 || lstat(strRealDest.c_str(), &stDest) != 0)
    return FSStandInErrnoToOSErr(errno);
  if (S_ISDIR(st.st_mode) || S_ISDIR(stDest.st_mode)) return notAFileErr;
  if (FilesMetaGetLocked(strReal) || FilesMetaGetLocked(strRealDest)) return fLckdErr;
  if (renameat2(AT_FDCWD, strReal.c_str(), AT_FDCWD, strRealDest.c_str(), RENAME_EXCHANGE) != 0)
    return FSStandInErrnoToOSErr(errno);

  // The sidecars follow their items: exchanged when both are there, else the one moved across.
  std::string const strSide = FSStandInRealPath(FilesSidecarPath(strPath));
  std::string const strDestSide = FSStandInRealPath(FilesSidecarPath(strDest));
  bool const blnSide = ExistsItem(strSide), blnDestSide = ExistsItem(strDestSide);
  int intResult = 0;
  if (blnSide && blnDestSide) {
    intResult = renameat2(AT_FDCWD, strSide.c_str(), AT_FDCWD, strDestSide.c_str(), RENAME_EXCHANGE);
  } else if (blnSide) {
    intResult = rename(strSide.c_str(), strDestSide.c_str());
  } else if (blnDestSide) {
    intResult = rename(strDestSide.c_str(), strSide.c_str());
  }
  if (intResult != 0) {
    int const intError = errno;
    renameat2(AT_FDCWD, strReal.c_str(), AT_FDCWD, strRealDest.c_str(), RENAME_EXCHANGE);
    return FSStandInErrnoToOSErr(intError);
  }
  return noErr;
}
