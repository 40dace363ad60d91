// Resources: the Resource Manager stand-in. The chain is a vector of open files, oldest first;
// the current file is a reference number. A handle is the address of a heap block's master
// pointer; a registry maps every live handle to its file and entry, so a released or foreign
// handle is recognised and refused without being dereferenced. All chain state sits behind one
// mutex; ResError and the load flag are per thread.
#include "platform/carbon/Resources.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/carbon/ResourceFile.h"

namespace {

// General Mac OS result codes this stand-in reports (values as the platform defines them).
constexpr OSErr kErrIO = -36;        // ioErr: reading the data failed
constexpr OSErr kErrTooMany = -42;   // tmfoErr: no reference number left
constexpr OSErr kErrParam = -50;     // paramErr: a null argument
constexpr OSErr kErrMemFull = -108;  // memFullErr

// A resource handle's block: the master pointer comes first, so &block->m_ptrData is the Handle.
struct stcHandleBlock {
  Ptr m_ptrData = nullptr;
};

struct stcOpenEntry {
  stcHandleBlock* m_pudtBlock = nullptr;  // null until GetResource hands out a handle
};

struct stcOpenResFile {
  ResFileRefNum m_intRefNum = 0;
  clsResourceFileReader m_udtReader;
  std::vector<stcOpenEntry> m_udtEntries;  // parallel to the reader's entries
};

struct stcHandleRef {
  stcOpenResFile* m_pudtFile;
  size_t m_ulngIndex;
};

struct stcResourceChain {
  std::mutex m_udtLock;
  std::vector<std::unique_ptr<stcOpenResFile>> m_udtFiles;  // oldest first, top of chain last
  ResFileRefNum m_intCurrent = kResFileNotOpened;
  ResFileRefNum m_intLastRefNum = 0;
  std::unordered_map<Handle, stcHandleRef> m_udtHandles;
};

stcResourceChain& Chain() {
  static stcResourceChain* s_pudtChain = new stcResourceChain;  // lives until the process ends
  return *s_pudtChain;
}

thread_local OSErr t_intResError = noErr;
thread_local bool t_bolResLoad = true;

// Position of a file in the chain, -1 when not open. Lock held.
int FindFile(stcResourceChain& chain, ResFileRefNum refNum) {
  for (size_t i = 0; i < chain.m_udtFiles.size(); ++i) {
    if (chain.m_udtFiles[i]->m_intRefNum == refNum) return int(i);
  }
  return -1;
}

void FreeBlock(stcHandleBlock* block) {
  if (block == nullptr) return;
  std::free(block->m_ptrData);
  delete block;
}

// Reads an entry's whole data into its block. Lock held.
OSErr LoadData(stcOpenResFile& file, size_t index, stcHandleBlock* block) {
  UInt32 const length = file.m_udtReader.Entries()[index].m_ulngLength;
  // A zero-length resource still gets a (one-byte) block, so a loaded handle is never empty.
  auto* data = static_cast<Ptr>(std::malloc(length > 0 ? length : 1));
  if (data == nullptr) return kErrMemFull;
  if (!file.m_udtReader.ReadData(index, 0, data, length)) {
    std::free(data);
    return kErrIO;
  }
  block->m_ptrData = data;
  return noErr;
}

}  // namespace

ResFileRefNum CurResFile(void) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  t_intResError = noErr;
  return chain.m_intCurrent;
}

void UseResFile(ResFileRefNum refNum) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  if (FindFile(chain, refNum) < 0) {
    t_intResError = resFNotFound;
    return;
  }
  chain.m_intCurrent = refNum;
  t_intResError = noErr;
}

void SetResLoad(Boolean load) { t_bolResLoad = load != 0; }

Handle GetResource(ResType theType, ResID theID) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  for (int f = FindFile(chain, chain.m_intCurrent); f >= 0; --f) {
    stcOpenResFile& file = *chain.m_udtFiles[size_t(f)];
    int index = file.m_udtReader.FindEntry(theType, theID);
    if (index < 0) continue;
    stcOpenEntry& entry = file.m_udtEntries[size_t(index)];
    bool const fresh = entry.m_pudtBlock == nullptr;
    if (fresh) {
      entry.m_pudtBlock = new (std::nothrow) stcHandleBlock;
      if (entry.m_pudtBlock == nullptr) {
        t_intResError = kErrMemFull;
        return nullptr;
      }
    }
    stcHandleBlock* block = entry.m_pudtBlock;
    if (t_bolResLoad && block->m_ptrData == nullptr) {
      OSErr err = LoadData(file, size_t(index), block);
      if (err != noErr) {
        if (fresh) {
          FreeBlock(block);
          entry.m_pudtBlock = nullptr;
        }
        t_intResError = err;
        return nullptr;
      }
    }
    Handle handle = &block->m_ptrData;
    if (fresh) chain.m_udtHandles[handle] = stcHandleRef{&file, size_t(index)};
    t_intResError = noErr;
    return handle;
  }
  t_intResError = resNotFound;
  return nullptr;
}

void ReadPartialResource(Handle theResource, Size offset, void* buffer, Size count) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  auto found = chain.m_udtHandles.find(theResource);
  if (theResource == nullptr || found == chain.m_udtHandles.end()) {
    t_intResError = resNotFound;
    return;
  }
  stcOpenResFile& file = *found->second.m_pudtFile;
  size_t const index = found->second.m_ulngIndex;
  UInt32 const length = file.m_udtReader.Entries()[index].m_ulngLength;
  if (offset < 0 || count < 0 || UInt32(offset) > length || UInt32(count) > length - UInt32(offset)) {
    t_intResError = inputOutOfBounds;
    return;
  }
  if (count == 0) {
    t_intResError = noErr;
    return;
  }
  if (buffer == nullptr) {
    t_intResError = kErrParam;
    return;
  }
  // Loaded data is copied from memory, as the platform does; otherwise it is read from disk.
  Ptr data = *theResource;
  if (data != nullptr) {
    std::memcpy(buffer, data + offset, size_t(count));
    t_intResError = noErr;
    return;
  }
  t_intResError =
      file.m_udtReader.ReadData(index, UInt32(offset), buffer, UInt32(count)) ? OSErr(noErr) : kErrIO;
}

Size GetResourceSizeOnDisk(Handle theResource) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  auto found = chain.m_udtHandles.find(theResource);
  if (theResource == nullptr || found == chain.m_udtHandles.end()) {
    t_intResError = resNotFound;
    return -1;
  }
  t_intResError = noErr;
  return Size(found->second.m_pudtFile->m_udtReader.Entries()[found->second.m_ulngIndex].m_ulngLength);
}

void ReleaseResource(Handle theResource) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  auto found = chain.m_udtHandles.find(theResource);
  if (theResource == nullptr || found == chain.m_udtHandles.end()) {
    t_intResError = resNotFound;
    return;
  }
  stcOpenEntry& entry = found->second.m_pudtFile->m_udtEntries[found->second.m_ulngIndex];
  FreeBlock(entry.m_pudtBlock);
  entry.m_pudtBlock = nullptr;
  chain.m_udtHandles.erase(found);
  t_intResError = noErr;
}

OSErr ResError(void) { return t_intResError; }

OSErr OpenResourceFileAtPath(char const* posixPath, ResFileRefNum* refNum) {
  if (posixPath == nullptr || refNum == nullptr) return t_intResError = kErrParam;
  auto file = std::unique_ptr<stcOpenResFile>(new (std::nothrow) stcOpenResFile);
  if (!file) return t_intResError = kErrMemFull;
  // The file is read outside the lock; only linking it into the chain needs it.
  if (!file->m_udtReader.Open(posixPath)) {
    return t_intResError = file->m_udtReader.NotFound() ? resFNotFound : mapReadErr;
  }
  file->m_udtEntries.resize(file->m_udtReader.Entries().size());

  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  // Reference numbers count up from 1 and wrap, skipping those in use.
  ResFileRefNum candidate = chain.m_intLastRefNum;
  for (int tries = 0;; ++tries) {
    if (tries == 0x7FFF) return t_intResError = kErrTooMany;
    candidate = ResFileRefNum(candidate >= 0x7FFF ? 1 : candidate + 1);
    if (FindFile(chain, candidate) < 0) break;
  }
  file->m_intRefNum = candidate;
  chain.m_intLastRefNum = candidate;
  chain.m_udtFiles.push_back(std::move(file));
  chain.m_intCurrent = candidate;
  *refNum = candidate;
  return t_intResError = noErr;
}

void CloseResFile(ResFileRefNum refNum) {
  stcResourceChain& chain = Chain();
  std::lock_guard<std::mutex> guard(chain.m_udtLock);
  int const f = FindFile(chain, refNum);
  if (f < 0) {
    t_intResError = resFNotFound;
    return;
  }
  stcOpenResFile& file = *chain.m_udtFiles[size_t(f)];
  for (stcOpenEntry& entry : file.m_udtEntries) {
    if (entry.m_pudtBlock == nullptr) continue;
    chain.m_udtHandles.erase(&entry.m_pudtBlock->m_ptrData);
    FreeBlock(entry.m_pudtBlock);
    entry.m_pudtBlock = nullptr;
  }
  chain.m_udtFiles.erase(chain.m_udtFiles.begin() + f);
  if (chain.m_intCurrent == refNum) {
    // The file opened just before it takes over; without one, the top of the chain.
    if (f > 0) {
      chain.m_intCurrent = chain.m_udtFiles[size_t(f - 1)]->m_intRefNum;
    } else if (!chain.m_udtFiles.empty()) {
      chain.m_intCurrent = chain.m_udtFiles.back()->m_intRefNum;
    } else {
      chain.m_intCurrent = kResFileNotOpened;
    }
  }
  t_intResError = noErr;
}
