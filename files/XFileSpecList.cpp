// XFileSpec listings: the items of the folder a spec names, either as nested named values (kind,
// size and dates as the caller's mask asks, sub-folders walked on request) or as bare names.
// Interface: XFileSpec::XListFiles(clsMultiVar*, recursive, mask, style) and
// XFileSpec::XListFiles(UniStringList*, style); XListFilesHelper reads one folder of a walk.
// Relies on the File Manager stand-in's iterator and bulk catalog calls (platform/carbon/Files.h),
// clsMultiVar and clsDateTime for the values, core/DebugLog.h for its trace lines, and U() of
// files/XFileSpecInternal.h.
// A size that 31 bits cannot hold is listed as -1.
// Failures: false with the message in the file spec's error text; a failure inside a sub-folder ends
// the whole walk and leaves what was listed before it in the output. Nothing throws.
#include <cstdint>
#include <new>

#include "core/DebugLog.h"
#include "core/clsDateTime.h"
#include "core/clsMultiVar.h"
#include "files/XFileSpec.h"
#include "files/XFileSpecInternal.h"

using namespace XFileSpecInternal;

// Items are read this many at a time; each level of a walk allocates its arrays once.
static ItemCount const kListBatchSize = 32;

// Bits of the listing mask (bit 1 has no effect).
enum : uint32_t {
  kListMaskType = 2,
  kListMaskSize = 4,
  kListMaskCreationDate = 8,
  kListMaskModDate = 16
};

// The state of one listing, shared by every level of the walk. Each level takes the output and
// the batch arrays out of it on entry and puts them back on leaving.
struct stcXFSListFilesContext {
  stcXFSListFilesContext() = default;
  ~stcXFSListFilesContext() = default;
  stcXFSListFilesContext(stcXFSListFilesContext const&) = delete;
  stcXFSListFilesContext& operator=(stcXFSListFilesContext const&) = delete;

  UniString m_ustrError;               // empty while all goes well, else the first error
  clsMultiVar* m_ptrOutput = nullptr;  // receives the entries of the folder being read
  FSRef m_udtFolder = {};              // the folder being read
  uint32_t m_ulngListMask = 0;         // the caller's mask
  uint32_t m_ulngCatalogMask = 0;      // the catalog fields the mask needs
  FSCatalogInfo* m_ptrCatInfos = nullptr;
  FSRef* m_ptrRefs = nullptr;
  HFSUniStr255* m_ptrNames = nullptr;
  uint32_t m_ulngMaxDepth = 0;  // 0: no limit
  uint32_t m_ulngCurDepth = 0;
};

void XListFilesHelper(stcXFSListFilesContext* context);

namespace {

// The three arrays of one batch, freed with their holder.
struct stcXFSListBatch {
  FSCatalogInfo* m_ptrCatInfos = nullptr;
  FSRef* m_ptrRefs = nullptr;
  HFSUniStr255* m_ptrNames = nullptr;

  stcXFSListBatch() = default;
  stcXFSListBatch(stcXFSListBatch const&) = delete;
  stcXFSListBatch& operator=(stcXFSListBatch const&) = delete;
  ~stcXFSListBatch() {
    delete[] m_ptrCatInfos;
    delete[] m_ptrRefs;
    delete[] m_ptrNames;
  }
  bool IsAllocated() const { return m_ptrNames != nullptr; }
  // Allocates all three; an empty text on success, the message of the first failure otherwise.
  UniString Allocate() {
    m_ptrCatInfos = new (std::nothrow) FSCatalogInfo[kListBatchSize];
    if (m_ptrCatInfos == nullptr) return U("Could not allocate memory for File Attributes array.");
    m_ptrRefs = new (std::nothrow) FSRef[kListBatchSize];
    if (m_ptrRefs == nullptr) return U("Could not allocate memory for FSRef array.");
    m_ptrNames = new (std::nothrow) HFSUniStr255[kListBatchSize];
    if (m_ptrNames == nullptr) return U("Could not allocate memory for File Name array.");
    return UniString();
  }
};

// A catalog name in the escaped item form. The catalog writes the Finder's '/' where a POSIX
// path shows ':', so both become "%2F"; '%' and '\' are escaped so that no name reads as one.
UniString EscapedName(HFSUniStr255 const& name) {
  UniString result;
  int const length = name.length <= 255 ? name.length : 255;
  for (int i = 0; i < length; ++i) {
    unsigned short const unit = name.unicode[i];
    if (unit == '%') {
      result += U("%25");
    } else if (unit == '\\') {
      result += U("%5C");
    } else if (unit == ':' || unit == '/') {
      result += U("%2F");
    } else {
      result += UniString(unit);
    }
  }
  return result;
}

// The catalog fields the listing mask needs; node flags always, the walk tells folders by them.
// The size is data plus resource fork, so both fork sizes are asked for.
FSCatalogInfoBitmap CatalogMaskFor(uint32_t listMask) {
  FSCatalogInfoBitmap bits = kFSCatInfoNodeFlags;
  if (listMask & kListMaskSize) bits |= kFSCatInfoDataSizes | kFSCatInfoRsrcSizes;
  if (listMask & kListMaskCreationDate) bits |= kFSCatInfoCreateDate;
  if (listMask & kListMaskModDate) bits |= kFSCatInfoContentMod;
  return bits;
}

// Adds the values the mask selects to an item's entry; an empty text on success.
UniString AddItemValues(clsMultiVar* entry, uint32_t listMask, bool isFolder, int32_t size,
                        clsDateTime const& created, clsDateTime const& modified) {
  UniString error;
  if (listMask & kListMaskType) error = entry->AddStringVar(U("Type"), U(isFolder ? "dir" : "file"), true);
  if (error.IsEmpty() && (listMask & kListMaskSize)) error = entry->AddIntegerVar(U("Size"), size, true);
  if (error.IsEmpty() && (listMask & kListMaskCreationDate))
    error = entry->AddDateTimeVar(U("CreationDate"), created, true);
  if (error.IsEmpty() && (listMask & kListMaskModDate))
    error = entry->AddDateTimeVar(U("ModDate"), modified, true);
  return error;
}

// Hands entry to output under name; on failure the entry is freed and the message returned.
UniString AddEntry(clsMultiVar* output, UniString const& name, clsMultiVar* entry) {
  UniString const error = output->AddArrayVar(name, entry, true, true);
  if (error.IsNotEmpty()) delete entry;
  return error;
}

// The "." and ".." entries that end every listed folder, dated 2000-01-01 00:00:00.
UniString AddDotEntries(clsMultiVar* output, uint32_t listMask) {
  clsDateTime fixed;
  fixed.EncodeDateTime(2000, 1, 1, 0, 0, 0);
  char const* const names[] = {".", ".."};
  for (char const* name : names) {
    clsMultiVar* entry = new (std::nothrow) clsMultiVar;
    if (entry == nullptr) return U("Could not allocate memory for new item.");
    UniString error = AddItemValues(entry, listMask, true, 0, fixed, fixed);
    if (error.IsNotEmpty()) {
      delete entry;
      return error;
    }
    error = AddEntry(output, U(name), entry);
    if (error.IsNotEmpty()) return error;
  }
  return UniString();
}

// Reads one bulk item into a new entry and, for a folder within the depth limit, walks it with
// next (allocated on first need) as the arrays of the level below. False when the walk must stop.
bool ListOneItem(stcXFSListFilesContext* context, clsMultiVar* output, FSCatalogInfo const& info,
                 FSRef const& ref, HFSUniStr255 const& rawName, stcXFSListBatch* next) {
  clsMultiVar* entry = new (std::nothrow) clsMultiVar;
  if (entry == nullptr) {
    context->m_ustrError = U("Could not allocate memory for new item.");
    return false;
  }
  UniString const name = EscapedName(rawName);
  DebugOutput(kDebugFull, U("XFileSpec::XListFilesHelper: ") + name);

  bool const isFolder = (info.nodeFlags & kFSNodeIsDirectoryMask) != 0;
  // The catalog's sizes are 64-bit and the value holds 31 bits: a larger sum is -1 (as
  // XFileSize answers), never a wrapped size that looks real.
  uint64_t const bytes = uint64_t(info.dataLogicalSize) + uint64_t(info.rsrcLogicalSize);
  bool const fits = bytes >= uint64_t(info.dataLogicalSize) && bytes <= uint64_t(INT32_MAX);
  int32_t const size = fits ? static_cast<int32_t>(bytes) : -1;
  UTCDateTime createDate = info.createDate;
  UTCDateTime modDate = info.contentModDate;
  clsDateTime created;
  clsDateTime modified;
  if (context->m_ulngListMask & kListMaskCreationDate) created.Assign(&createDate);
  if (context->m_ulngListMask & kListMaskModDate) modified.Assign(&modDate);
  UniString error = AddItemValues(entry, context->m_ulngListMask, isFolder, size, created, modified);

  if (error.IsEmpty() && isFolder &&
      (context->m_ulngMaxDepth == 0 || context->m_ulngMaxDepth > context->m_ulngCurDepth)) {
    if (!next->IsAllocated()) error = next->Allocate();
    clsMultiVar* items = nullptr;
    if (error.IsEmpty()) {
      items = new (std::nothrow) clsMultiVar;
      if (items == nullptr) error = U("Could not allocate memory for Directory List.");
    }
    if (error.IsEmpty()) {
      context->m_udtFolder = ref;
      context->m_ptrOutput = items;
      context->m_ptrCatInfos = next->m_ptrCatInfos;
      context->m_ptrRefs = next->m_ptrRefs;
      context->m_ptrNames = next->m_ptrNames;
      XListFilesHelper(context);
      if (context->m_ustrError.IsNotEmpty()) {
        delete items;
        delete entry;
        return false;
      }
      error = AddEntry(entry, U("Items"), items);
    }
  }
  if (error.IsEmpty()) {
    error = AddEntry(output, name, entry);
  } else {
    delete entry;
  }
  if (error.IsNotEmpty()) {
    context->m_ustrError = error;
    return false;
  }
  return true;
}

}  // namespace

void XListFilesHelper(stcXFSListFilesContext* context) {
  // This level's output and arrays; the context gets them back however the level ends.
  clsMultiVar* const output = context->m_ptrOutput;
  FSCatalogInfo* const infos = context->m_ptrCatInfos;
  FSRef* const refs = context->m_ptrRefs;
  HFSUniStr255* const names = context->m_ptrNames;
  context->m_ptrOutput = nullptr;
  context->m_ptrCatInfos = nullptr;
  context->m_ptrRefs = nullptr;
  context->m_ptrNames = nullptr;
  struct stcRestore {
    stcXFSListFilesContext* ctx;
    clsMultiVar* output;
    FSCatalogInfo* infos;
    FSRef* refs;
    HFSUniStr255* names;
    ~stcRestore() {
      ctx->m_ptrOutput = output;
      ctx->m_ptrCatInfos = infos;
      ctx->m_ptrRefs = refs;
      ctx->m_ptrNames = names;
    }
  } restore{context, output, infos, refs, names};

  if (context->m_ulngMaxDepth != 0 && context->m_ulngMaxDepth <= context->m_ulngCurDepth) return;

  FSIterator iterator = nullptr;
  OSErr result = FSOpenIterator(&context->m_udtFolder, kFSIterateFlat, &iterator);
  if (result != noErr) {
    context->m_ustrError =
        U("Could not get File System Iterator; MacError: ") + XFileSpec::GetMacError(result);
    return;
  }
  ++context->m_ulngCurDepth;

  stcXFSListBatch next;  // the arrays of the level below, shared by this level's sub-folders
  bool walking = true;
  do {
    ItemCount count = 0;
    result = FSGetCatalogInfoBulk(iterator, kListBatchSize, &count, nullptr, context->m_ulngCatalogMask,
                                  infos, refs, nullptr, names);
    if (result != noErr && result != errFSNoMoreItems) break;
    if (count > kListBatchSize) count = kListBatchSize;
    for (ItemCount i = 0; i < count && walking; ++i) {
      walking = ListOneItem(context, output, infos[i], refs[i], names[i], &next);
    }
    // A batch that brings nothing yet claims more is taken as the end, so the loop cannot spin.
    if (result == noErr && count == 0) break;
  } while (result == noErr && walking);

  if (context->m_ustrError.IsEmpty()) {
    if (result == errFSNoMoreItems || result == afpAccessDenied || result == noErr) {
      context->m_ustrError = AddDotEntries(output, context->m_ulngListMask);
    } else {
      context->m_ustrError =
          U("There was an error iterating the files; MacError: ") + XFileSpec::GetMacError(result);
    }
  }

  --context->m_ulngCurDepth;
  FSCloseIterator(iterator);
}

namespace {

// The checks both listings start with: the file spec must name an existing folder, whose reference
// goes to folder. False with the message in error.
bool ListedFolderRef(XFileSpec* spec, FSRef* folder, UniString* error) {
  bool isDir = false;
  bool isFile = false;
  if (!spec->IsValid(&isDir, &isFile, false, false)) {
    *error = U("Path is Invalid: ") + spec->GetPath(kPathStyleInternal, true);
    return false;
  }
  if (isFile) {
    *error = U("Folder is not a Folder (it's a File): ") + spec->GetFileName(kPathStyleInternal);
    return false;
  }
  if (!isDir) {
    *error = U("Folder does not exist: ") + spec->GetDirName(kPathStyleInternal);
    return false;
  }
  UniString const path = spec->GetPath(kPathStylePOSIX, true);
  DebugOutput(kDebugInfo, U("XFileSpec::XListFiles: Examining Path: ") + path);
  AnsiString const bytes = path.GetAnsiString(1);
  Boolean isDirectory = false;
  OSStatus result = FSPathMakeRef(reinterpret_cast<UInt8 const*>(bytes.c_str()), folder, &isDirectory);
  // A folder that turned into a file since the check is reported with the catalog's own code.
  if (result == noErr && !isDirectory) result = errFSNotAFolder;
  if (result != noErr) {
    *error = U("Could not make Folder Ref; MacError: ") + XFileSpec::GetMacError(result);
    return false;
  }
  return true;
}

}  // namespace

bool XFileSpec::XListFiles(clsMultiVar* items, bool recursive, int mask, enumPathStyle) {
  clsFuncDebug dbg(U("XFileSpec::XListFiles (clsMultiVar)"), kDebugFull);
  m_ustrError = U("Unknown Error");
  stcXFSListFilesContext context;

  bool ok = false;
  if (items == nullptr) {
    m_ustrError = U("Output Item List is NULL.");
  } else {
    items->Clear();
    context.m_ptrOutput = items;
    UniString error;
    if (!ListedFolderRef(this, &context.m_udtFolder, &error)) {
      m_ustrError = error;
    } else {
      context.m_ulngListMask = static_cast<uint32_t>(mask);
      context.m_ulngCatalogMask = CatalogMaskFor(context.m_ulngListMask);
      stcXFSListBatch batch;
      error = batch.Allocate();
      if (error.IsNotEmpty()) {
        m_ustrError = error;
      } else {
        context.m_ptrCatInfos = batch.m_ptrCatInfos;
        context.m_ptrRefs = batch.m_ptrRefs;
        context.m_ptrNames = batch.m_ptrNames;
        context.m_ulngCurDepth = 0;
        context.m_ulngMaxDepth = recursive ? 0 : 1;
        XListFilesHelper(&context);
        if (context.m_ustrError.IsNotEmpty()) {
          m_ustrError = U("Error during recursion: ") + context.m_ustrError;
        } else {
          m_ustrError = UniString();
          ok = true;
        }
      }
    }
  }

  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("XFileSpec::XListFiles: ") + m_ustrError);
  } else {
    UniString const count(static_cast<uint32_t>(items->Count()));
    DebugOutput(kDebugResult,
                U("XFileSpec::XListFiles: Found ") + count + U(" Files (in the first directory)."));
  }
  return ok;
}

bool XFileSpec::XListFiles(UniStringList* names, enumPathStyle style) {
  clsFuncDebug dbg(U("XFileSpec::XListFiles (UniStringList)"), kDebugFull);
  m_ustrError = U("Unknown Error");

  bool ok = false;
  FSRef folder = {};
  UniString error;
  if (names != nullptr) names->Clear();
  if (names == nullptr) {
    m_ustrError = U("Output File Name List is NULL.");
  } else if (!ListedFolderRef(this, &folder, &error)) {
    m_ustrError = error;
  } else {
    FSIterator iterator = nullptr;
    OSErr result = FSOpenIterator(&folder, kFSIterateFlat, &iterator);
    if (result != noErr) {
      m_ustrError = U("Could not create File System Iterator; MacError: ") + GetMacError(result);
    } else {
      HFSUniStr255* const batch = new (std::nothrow) HFSUniStr255[kListBatchSize];
      if (batch == nullptr) {
        m_ustrError = U("Could not allocate memory for File Name array.");
      } else {
        do {
          ItemCount count = 0;
          result = FSGetCatalogInfoBulk(iterator, kListBatchSize, &count, nullptr, kFSCatInfoNone, nullptr,
                                        nullptr, nullptr, batch);
          if (result != noErr && result != errFSNoMoreItems) break;
          if (count > kListBatchSize) count = kListBatchSize;
          for (ItemCount i = 0; i < count; ++i) {
            UniString const name = EscapedName(batch[i]);
            DebugOutput(kDebugInfo, U("XFileSpec::XListFiles: ") + name);
            names->Add(DecodeSlashes(name, style));
          }
          if (result == noErr && count == 0) break;  // nothing more, whatever the code claims
        } while (result == noErr);
        delete[] batch;
        if (result == errFSNoMoreItems || result == noErr) {
          m_ustrError = UniString();
          ok = true;
        } else {
          m_ustrError = U("There was an error iterating the files; MacError: ") + GetMacError(result);
        }
      }
      FSCloseIterator(iterator);
    }
  }

  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("XFileSpec::XListFiles: ") + m_ustrError);
  } else {
    UniString const count(static_cast<uint32_t>(names->Count()));
    DebugOutput(kDebugResult, U("XFileSpec::XListFiles: Found ") + count + U(" Files."));
  }
  return ok;
}
