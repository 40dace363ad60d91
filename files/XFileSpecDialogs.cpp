// XFileSpecDialogs: the open, save and choose-folder dialogs of XFileSpec, their file-type
// pop-up and filter, and the table that turns short file-type words into type entries.
// Interface: XFileSpec::GenerateFileTypeList, XFileSpec::SelectFileNameDlg,
// XFileSpec::SelectDirNameDlg, and the callbacks XFSNavEventProc and XFSNavObjectFilterProc,
// which get the file spec as their client data and read and write its dialog fields.
// A type entry reads description|extensions|type: extensions with a leading '.' joined by '/',
// a 4-character Finder type ("????" for none). ".*" among the extensions stands for any file.
// Relies on Navigation Services, Apple Event descriptors and the theme cursor
// (platform/carbon/Navigation.h), the CFString bridges of core/MacOSGlue.h and the rest of
// XFileSpec. Every dialog call answers false with the reason in ErrorString() ("Dialog
// Canceled." for a cancel) and leaves the file spec as it was; nothing throws.
#include <cstring>
#include <new>
#include <vector>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "core/UniString.h"
#include "core/UniStringList.h"
#include "files/XFileSpec.h"
#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/Navigation.h"

namespace {

constexpr unsigned short kBar = '|';
constexpr unsigned short kSlash = '/';
constexpr OSType kAnyType = MakeFourCharCode("****");
constexpr int32_t kOpenDialog = 0;
constexpr int32_t kSaveDialog = 1;
constexpr int32_t kChooseFolderDialog = 2;
// Rows an open dialog's pop-up shows before the entries: "All Readable Files" and "-".
constexpr int32_t kOpenPopupLeadRows = 2;

struct stcFileTypeKind {
  char const* m_strWords[7];  // null-terminated
  char const* m_strEntry;
};

// The file-type words, tried in order; the first kind holding the word wins.
stcFileTypeKind const g_udtFileTypeKinds[] = {
    {{"JPEG", "JPE", "JPG", "JFIF", nullptr}, "JPEG Images|.jpg/.jpeg/.jpe/.jfif|JPEG"},
    {{"GIFF", "GIF", nullptr}, "GIF Images|.gif|GIFf"},
    {{"PNGF", "PNG", nullptr}, "PNG Images|.png|PNGf"},
    {{"BMPF", "BMP", nullptr}, "BMP Images|.bmp|BMPf"},
    {{"EPS", "EPI", "EPSF", "EPSI", nullptr}, "EPS Files|.eps/.epi/.epsi/.epsf|EPS "},
    {{"PICT", "PICTURE", "PCT", nullptr}, "PICT Images|.pct/.pict/.pic|PICT"},
    {{"TIFF", "TIF", nullptr}, "TIFF Images|.tif/.tiff|TIFF"},
    {{"8BPS", "PHOTOSHOP", "PSD", nullptr}, "Photoshop Images|.psd|8BPS"},
    {{"FPIX", "FLASHPIX", "FPX", nullptr}, "FlashPix Images|.fpx|FPix"},
    {{"QTIF", "QUICKTIME", "QUICKTIMEIMAGE", "QT", "QTIMAGE", "QIF", nullptr},
     "QuickTime Images|.qif/.qtif/.qt/.qti|qtif"},
    {{".SGI", "SGI", "SGIImage", nullptr}, "SGI Images|.sgi|.SGI"},
    {{"TPIC", "TARGA", "TARGAIMAGE", "TGA", nullptr}, "Targa Images|.tga/.tpic|TPIC"},
    {{"PNTG", "MACPAINT", "MAC", nullptr}, "MacPaint Images|.mac|PNTG"},
    {{"PDF", "ACROBAT", nullptr}, "Acrobat PDF Files|.pdf|PDF "},
    {{"PICS", nullptr}, "PICS Images|.pics|PICS"},
    {{"3DMF", "3DMETAFILE", nullptr}, "3DMF Images|.3dmf/.3dm|3DMF"},
    {{"FLC", "FLI", "FLIC", nullptr}, "FLIC Animations|.flc/.fli/.flic|FLC "},
    {{"SWFL", "SWF", "SHOCKWAVE", nullptr}, "Shockwave Flash|.swf/.swfl|SWFL"},
    {{"QDGX", "QUICKDRAWGX", nullptr}, "QuickDraw GX Pictures|.qdgx|qdgx"},
    {{"TXT", "TEXT", nullptr}, "Text Files|.txt|TEXT"},
    {{"HTM", "HTML", nullptr}, "HTML Files|.htm/.html|MOSS"},
    {{"ALL", "ANY", nullptr}, "All Files|.*|"},
};

// The table entry for an upper-cased word; null when no kind knows it.
char const* FindFileTypeEntry(UniString const& upperWord) {
  for (stcFileTypeKind const& kind : g_udtFileTypeKinds) {
    for (char const* const* word = kind.m_strWords; *word != nullptr; ++word) {
      if (UniString(*word).UpperCase() == upperWord) return kind.m_strEntry;
    }
  }
  return nullptr;
}

// The Finder type a 4-character code stands for: its first character is the most significant
// byte.
OSType FourCharCodeOf(UniString const& code) {
  OSType type = 0;
  for (int i = 1; i <= 4; ++i) type = (type << 8) | OSType(code[i] & 0xFF);
  return type;
}

// The fields of a type entry: description (before the first '|'), extensions (up to the
// second '|', or to the end without one) and type (after the second '|').
struct stcTypeFields {
  bool m_bolHasFirstBar = false;
  bool m_bolHasSecondBar = false;
  UniString m_ustrDescription;
  UniString m_ustrExtensions;
  UniString m_ustrType;
};

stcTypeFields SplitTypeEntry(UniString const& entry) {
  stcTypeFields fields;
  int first = entry.Pos(kBar);
  if (first == 0) {
    fields.m_ustrDescription = entry;
    return fields;
  }
  fields.m_bolHasFirstBar = true;
  fields.m_ustrDescription = entry.Left(first - 1);
  UniString rest = entry.SubString(first + 1, -1);
  int second = rest.Pos(kBar);
  if (second == 0) {
    fields.m_ustrExtensions = rest;
    return fields;
  }
  fields.m_bolHasSecondBar = true;
  fields.m_ustrExtensions = rest.Left(second - 1);
  fields.m_ustrType = rest.SubString(second + 1, -1);
  return fields;
}

// Whether a '/'-joined extension list takes a file's extension (dot included). ".*" in the
// list takes every file; a file without an extension is taken by nothing else.
bool ExtensionListTakes(UniString const& extensions, UniString const& extension, bool ignoreCase) {
  UniString list = UniString("/") + extensions + UniString("/");
  if (list.Pos(UniString("/.*/")) > 0) return true;
  if (extension.IsEmpty()) return false;
  return list.Pos(UniString("/") + extension + UniString("/"), ignoreCase) > 0;
}

// The filter's test: the list followed by '/' holds the extension followed by '/', so an entry
// of ".tar.gz" shows a file whose extension reads ".gz". ".*" takes every file, as above.
bool FilterExtensionTakes(UniString const& extensions, UniString const& extension) {
  if ((UniString("/") + extensions + UniString("/")).Pos(UniString("/.*/")) > 0) return true;
  if (extension.IsEmpty()) return false;
  return (extensions + UniString("/")).Pos(extension + UniString("/"), true) > 0;
}

// Whether a file of that extension and Finder type passes one type entry.
bool TypeEntryTakes(UniString const& entry, UniString const& extension, OSType fileType) {
  stcTypeFields fields = SplitTypeEntry(entry);
  if (!fields.m_bolHasSecondBar) return false;  // no usable extensions or type
  if (fields.m_ustrType.Length() == 4 && FourCharCodeOf(fields.m_ustrType) == fileType) return true;
  return FilterExtensionTakes(fields.m_ustrExtensions, extension);
}

// Runs a created dialog and reads its first selection as an FSRef. Answers the error text
// (empty on success); *haveReply tells whether *reply must be disposed.
UniString RunDialog(NavDialogRef dialog, UniString const& selectionFailure, NavReplyRecord* reply,
                    bool* haveReply, FSRef* chosen) {
  OSStatus err = NavDialogRun(dialog);
  if (err != noErr) return UniString("Error Showing Dialog; MacError: ") + XFileSpec::GetMacError(err);
  NavUserAction action = NavDialogGetUserAction(dialog);
  if (action == kNavUserActionCancel || action == kNavUserActionNone) {
    return UniString("Dialog Canceled.");
  }
  err = NavDialogGetReply(dialog, reply);
  if (err != noErr) {
    return UniString("Could not get Selected Item; MacError: ") + XFileSpec::GetMacError(err);
  }
  *haveReply = true;
  if (!reply->validRecord) return UniString("Selected Item was not Valid.");
  AEKeyword keyword = 0;
  DescType actualType = 0;
  Size actualSize = 0;
  err = AEGetNthPtr(&reply->selection, 1, typeFSRef, &keyword, &actualType, chosen, sizeof(FSRef),
                    &actualSize);
  if (err == noErr && actualSize != Size(sizeof(FSRef))) err = errAECoercionFail;
  if (err != noErr) return selectionFailure + XFileSpec::GetMacError(err);
  return UniString();
}

// Points the dialog at the file spec's folder (the file spec itself when it names a folder, else the
// folder holding it) and shows the selection. False when the file spec names nothing usable.
bool SetDialogLocation(XFileSpec* spec, NavDialogRef dialog, bool* isDir) {
  bool isFile = false;
  *isDir = false;
  if (!spec->IsValid(isDir, &isFile, false, false)) return false;
  FSRef ref;
  if (*isDir || isFile) {
    if (!spec->GetFSRef(&ref, *isDir)) return true;
  } else {
    // A name still to be created: the folder that would hold it (GetFSRef wants the item to
    // exist, also for its parent).
    XFileSpec folder(*spec);
    folder.RemoveFileOrDirName();
    if (!folder.GetFSRef(&ref, true)) return true;
  }
  AEDesc location{typeNull, nullptr};
  if (AECreateDesc(typeFSRef, &ref, sizeof ref, &location) == noErr) {
    NavCustomControl(dialog, kNavCtlSetLocation, &location);
    NavCustomControl(dialog, kNavCtlShowSelection, nullptr);
    AEDisposeDesc(&location);
  }
  return true;
}

void ReleaseCF(CFTypeRef object) {
  if (object != nullptr) CFRelease(object);
}

// A dialog's closing line: the file spec's error, else the path chosen, else notChosen.
void LogDialogOutcome(clsFuncDebug& debug, XFileSpec& spec, bool chosen, char const* notChosen) {
  UniString const error = spec.ErrorString();
  if (error.IsNotEmpty()) {
    debug.Output(kDebugError, error);
    return;
  }
  UniString const path = chosen ? spec.GetPath(kPathStyleInternal, true) : UniString();
  debug.Output(kDebugResult, path.IsNotEmpty() ? path : UniString(notChosen));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// File-type list
// ---------------------------------------------------------------------------------------------

void XFileSpec::GenerateFileTypeList(UniStringList* types) {
  if (types == nullptr || types->Count() == 0) return;
  clsFuncDebug debug(UniString("XFileSpec::GenerateFileTypeList"), kDebugFull);
  unsigned int i = 0;
  while (i < types->Count()) {
    UniString entry = types->At(i).Trim();
    if (entry.IsEmpty()) {
      debug.Output(kDebugWarning, UniString("Removing Empty Type"));
      types->Delete(i);
      continue;
    }
    UniString word = entry;
    if (entry.Pos(kBar) > 0) {
      stcTypeFields fields = SplitTypeEntry(entry);
      UniString description = fields.m_ustrDescription.Trim();
      UniString extensions = fields.m_ustrExtensions.Trim();
      UniString type = fields.m_ustrType.Trim();
      if (extensions.IsNotEmpty() || type.IsNotEmpty()) {
        UniString packed;
        for (int k = 1; k <= extensions.Length(); ++k) {
          if (!UniString::IsBlank(extensions[k])) packed += UniString(extensions[k]);
        }
        extensions = packed.StrSub(UniString("*."), UniString("."))
                         .StrSub(',', kSlash)
                         .StrSub(';', kSlash)
                         .StrSub('\\', kSlash);
        if (type.IsEmpty()) {
          type = UniString("????");
        } else if (type.Length() != 4) {
          type = (type + UniString("    ")).Left(4);
        }
        *types->IterAt(i) = description + UniString("|") + extensions + UniString("|") + type;
        ++i;
        continue;
      }
      word = description;
    }
    UniString upper = word.UpperCase();
    char const* known = FindFileTypeEntry(upper);
    if (known != nullptr) {
      *types->IterAt(i) = UniString(known);
      ++i;
    } else {
      debug.Output(kDebugWarning, UniString("Unknown File Type: ") + upper + UniString("; discarding"));
      types->Delete(i);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Open and save dialogs
// ---------------------------------------------------------------------------------------------

bool XFileSpec::SelectFileNameDlg(int kind, UniStringList* types, int* typeIndex, bool noTypePopup,
                                  UniString prompt) {
  clsFuncDebug debug(UniString("XFileSpec::SelectFileNameDlg"), kDebugFull);
  m_ustrError = UniString();
  m_ulstFileTypes = nullptr;
  SetThemeCursor(kThemeArrowCursor);
  bool isDir = false;
  bool isFile = false;
  bool valid = IsValid(&isDir, &isFile, false, false);
  m_ustrError = UniString();
  m_lngDialogKind = kind;
  m_bytNoTypePopup = noTypePopup ? 1 : 0;
  XFileSpec former(*this);

  std::vector<CFStringRef> popupStrings;
  CFArrayRef popupArray = nullptr;
  CFStringRef actionLabel = nullptr;
  CFStringRef message = nullptr;
  NavEventUPP eventProc = nullptr;
  NavObjectFilterUPP filterProc = nullptr;
  NavDialogRef dialog = nullptr;
  NavReplyRecord reply;
  std::memset(&reply, 0, sizeof reply);
  bool haveReply = false;
  bool chosen = false;
  OSType fileType = kAnyType;
  int32_t count = types != nullptr ? int32_t(types->Count()) : 0;

  do {
    if (count > 0) {
      try {
        popupStrings.reserve(size_t(count) + kOpenPopupLeadRows);
      } catch (...) {
        m_ustrError = UniString("Could not allocate memory for File Type Strings.");
        break;
      }
      int32_t index = typeIndex != nullptr ? int32_t(*typeIndex) : -1;
      if (index < -1) index = -1;
      if (index > count - 1) index = count - 1;
      UniString extension;
      if (valid && !isDir) extension = GetFileExt(GetFileName(kPathStyleInternal));
      std::vector<UniString> rows;
      if (kind == kOpenDialog) {
        rows.push_back(UniString("All Readable Files"));
        rows.push_back(UniString("-"));
      }
      for (int32_t i = 0; i < count; ++i) {
        stcTypeFields fields = SplitTypeEntry(types->At(unsigned(i)));
        UniString description = fields.m_bolHasFirstBar && fields.m_ustrDescription.IsNotEmpty()
                                    ? fields.m_ustrDescription
                                    : UniString("Unknown Type");
        rows.push_back(description);
        UniString extensions = fields.m_bolHasFirstBar && fields.m_ustrExtensions.IsNotEmpty()
                                   ? fields.m_ustrExtensions
                                   : UniString(".*");
        if (index == -1 && extension.IsNotEmpty() &&
            (UniString("/") + extensions + UniString("/"))
                    .Pos(UniString("/") + extension + UniString("/")) > 0) {
          index = i;
        }
        if (i == index && fields.m_ustrType.Length() == 4) {
          fileType = FourCharCodeOf(fields.m_ustrType);
        }
      }
      if (index < 0) index = 0;
      if (kind == kOpenDialog) index += kOpenPopupLeadRows;
      m_lngTypeIndex = index;
      bool stringsMade = true;
      for (UniString const& row : rows) {
        CFStringRef text = UniStringToCFString(row);
        if (text == nullptr) {
          stringsMade = false;
          break;
        }
        popupStrings.push_back(text);
      }
      if (!stringsMade) {
        m_ustrError = UniString("Could not allocate memory for File Type Strings.");
        break;
      }
      popupArray = CFArrayCreate(kCFAllocatorDefault,
                                 reinterpret_cast<void const**>(popupStrings.data()),
                                 CFIndex(popupStrings.size()), &kCFTypeArrayCallBacks);
      if (popupArray == nullptr) {
        m_ustrError = UniString("Could not create File Type Array.");
        break;
      }
      m_ulstFileTypes = types;
    } else {
      m_lngTypeIndex = 0;
      if (kind == kSaveDialog && !noTypePopup) {
        m_ustrError = UniString("You must specify at least one File Type for 'Save As' dialogs.");
        break;
      }
    }

    NavDialogCreationOptions options;
    if (NavGetDefaultDialogCreationOptions(&options) != noErr) {
      m_ustrError = UniString("Could not get Default Dialog Options.");
      break;
    }
    if (kind == kOpenDialog) {
      actionLabel = UniStringToCFString(UniString("Choose"));
      options.actionButtonLabel = actionLabel;
    }
    if (prompt.IsNotEmpty()) {
      message = UniStringToCFString(prompt);
      options.message = message;
    }
    options.modality = kWindowModalityAppModal;
    options.optionFlags ^= kNavAllowMultipleFiles;
    if (noTypePopup) {
      options.optionFlags |= kNavNoTypePopup;
    } else {
      options.popupExtension = popupArray;
    }

    eventProc = NewNavEventUPP(XFSNavEventProc);
    if (eventProc == nullptr) {
      m_ustrError = UniString("Could not create Event Proc.");
      break;
    }
    if (kind == kSaveDialog) {
      debug.Output(kDebugInfo, UniString("Creating SaveFile Dialog"));
      if (NavCreatePutFileDialog(&options, fileType, kAnyType, eventProc, this, &dialog) != noErr) {
        m_ustrError = UniString("Could not create Put File Dialog.");
        break;
      }
    } else if (kind == kOpenDialog) {
      debug.Output(kDebugInfo, UniString("Creating GetFile Dialog"));
      filterProc = NewNavObjectFilterUPP(XFSNavObjectFilterProc);
      if (filterProc == nullptr) {
        m_ustrError = UniString("Could not create Filter Proc.");
        break;
      }
      if (NavCreateGetFileDialog(&options, nullptr, eventProc, nullptr, filterProc, this,
                                 &dialog) != noErr) {
        m_ustrError = UniString("Could not create Get File Dialog.");
        break;
      }
    } else {
      m_ustrError = UniString("Unknown Dialog Type.");
      break;
    }

    FSRef ref;
    UniString failure = kind == kSaveDialog ? UniString("Could not get Selected Folder; MacError: ")
                                            : UniString("Could not get Selected File; MacError: ");
    m_ustrError = RunDialog(dialog, failure, &reply, &haveReply, &ref);
    if (m_ustrError.IsNotEmpty()) break;

    UniString saveName;
    if (kind == kSaveDialog) saveName = CFStringToUniString(NavDialogGetSaveFileName(dialog));
    Clear();
    bool set = Set(&ref);
    if (set && m_ustrError.IsEmpty() && kind == kSaveDialog) AddFileOrDirName(saveName);
    if (!set || m_ustrError.IsNotEmpty()) {
      // The chosen item could not be named: keep the former spec and say why.
      UniString reason = m_ustrError.IsNotEmpty() ? m_ustrError : UniString("Unknown Error");
      *this = former;
      m_ustrError = reason;
      break;
    }
    m_ustrError = UniString();
    chosen = true;
    if (typeIndex != nullptr) {
      *typeIndex = int(m_lngTypeIndex - (kind == kOpenDialog ? kOpenPopupLeadRows : 0));
    }
  } while (false);

  ReleaseCF(actionLabel);
  ReleaseCF(message);
  if (eventProc != nullptr) DisposeNavEventUPP(eventProc);
  if (filterProc != nullptr) DisposeNavObjectFilterUPP(filterProc);
  if (dialog != nullptr) NavDialogDispose(dialog);
  if (haveReply) NavDisposeReply(&reply);
  for (CFStringRef text : popupStrings) ReleaseCF(text);
  ReleaseCF(popupArray);
  m_ulstFileTypes = nullptr;

  LogDialogOutcome(debug, *this, chosen, "A File was not Chosen");
  return chosen;
}

// ---------------------------------------------------------------------------------------------
// Choose-folder dialog
// ---------------------------------------------------------------------------------------------

bool XFileSpec::SelectDirNameDlg(UniString prompt) {
  clsFuncDebug debug(UniString("XFileSpec::SelectDirNameDlg"), kDebugFull);
  m_ustrError = UniString();
  SetThemeCursor(kThemeArrowCursor);
  m_lngDialogKind = kChooseFolderDialog;
  XFileSpec former(*this);

  CFStringRef message = nullptr;
  NavEventUPP eventProc = nullptr;
  NavDialogRef dialog = nullptr;
  NavReplyRecord reply;
  std::memset(&reply, 0, sizeof reply);
  bool haveReply = false;
  bool chosen = false;

  do {
    NavDialogCreationOptions options;
    if (NavGetDefaultDialogCreationOptions(&options) != noErr) {
      m_ustrError = UniString("Could not get Default Dialog Options.");
      break;
    }
    if (prompt.IsNotEmpty()) {
      message = UniStringToCFString(prompt);
      options.message = message;
    }
    options.modality = kWindowModalityAppModal;
    eventProc = NewNavEventUPP(XFSNavEventProc);
    if (eventProc == nullptr) {
      m_ustrError = UniString("Could not create Event Proc.");
      break;
    }
    if (NavCreateChooseFolderDialog(&options, eventProc, nullptr, this, &dialog) != noErr) {
      m_ustrError = UniString("Could not create Choose Folder Dialog.");
      break;
    }
    FSRef ref;
    m_ustrError = RunDialog(dialog, UniString("Could not get Selected Folder; MacError: "), &reply,
                            &haveReply, &ref);
    if (m_ustrError.IsNotEmpty()) break;
    Clear();
    bool set = Set(&ref);
    if (!set || m_ustrError.IsNotEmpty()) {
      UniString reason = m_ustrError.IsNotEmpty() ? m_ustrError : UniString("Unknown Error");
      *this = former;
      m_ustrError = reason;
      break;
    }
    m_ustrError = UniString();
    chosen = true;
  } while (false);

  ReleaseCF(message);
  if (eventProc != nullptr) DisposeNavEventUPP(eventProc);
  if (dialog != nullptr) NavDialogDispose(dialog);
  if (haveReply) NavDisposeReply(&reply);
  m_ulstFileTypes = nullptr;

  LogDialogOutcome(debug, *this, chosen, "A Dir was not Chosen");
  return chosen;
}

// ---------------------------------------------------------------------------------------------
// Callbacks
// ---------------------------------------------------------------------------------------------

void XFSNavEventProc(int32_t message, NavCBRec* params, void* clientData) {
  auto* spec = static_cast<XFileSpec*>(clientData);
  if (spec == nullptr || params == nullptr) return;
  NavDialogRef dialog = params->context;

  if (message == kNavCBStart) {
    bool isDir = false;
    if (spec->m_lngDialogKind == kOpenDialog || spec->m_lngDialogKind == kChooseFolderDialog) {
      SetDialogLocation(spec, dialog, &isDir);
    } else if (spec->m_lngDialogKind == kSaveDialog) {
      bool valid = SetDialogLocation(spec, dialog, &isDir);
      if (valid && !isDir) {
        UniString name = spec->GetFileOrDirName(kPathStyleHFS);
        if (name.IsNotEmpty()) {
          CFStringRef text = UniStringToCFString(name);
          if (text != nullptr) {
            NavDialogSetSaveFileName(dialog, text);
            CFRelease(text);
          }
        }
      }
      if (spec->m_ulstFileTypes != nullptr) {
        NavMenuItemSpec item;
        std::memset(&item, 0, sizeof item);
        item.version = kNavMenuItemSpecVersion;
        item.menuCreator = kNavCustomTypeCreator;
        item.menuType = OSType(spec->m_lngTypeIndex);
        NavCustomControl(dialog, kNavCtlSelectCustomType, &item);
      }
    }
    return;
  }

  if (message != kNavCBPopupMenuSelect) return;
  auto* item = static_cast<NavMenuItemSpec*>(params->eventData.eventDataParms.param);
  if (item == nullptr) return;
  spec->m_lngTypeIndex = int32_t(item->menuType);
  if (spec->m_lngDialogKind == kOpenDialog) {
    NavCustomControl(dialog, kNavCtlBrowserRedraw, nullptr);
    return;
  }
  if (spec->m_lngDialogKind != kSaveDialog || spec->m_ulstFileTypes == nullptr) return;
  if (spec->m_lngTypeIndex < 0 || uint32_t(spec->m_lngTypeIndex) >= spec->m_ulstFileTypes->Count()) {
    return;
  }
  // Keep the typed name's extension in step with the chosen type.
  UniString extensions =
      SplitTypeEntry(spec->m_ulstFileTypes->At(uint32_t(spec->m_lngTypeIndex))).m_ustrExtensions;
  UniString name = CFStringToUniString(NavDialogGetSaveFileName(dialog));
  UniString extension = XFileSpec::GetFileExt(name);
  if (ExtensionListTakes(extensions, extension, true)) return;
  if (extension.IsNotEmpty()) name = name.Left(name.Length() - extension.Length());
  int slash = extensions.Pos(kSlash);
  name += slash > 0 ? extensions.Left(slash - 1) : extensions;
  CFStringRef text = UniStringToCFString(name);
  if (text == nullptr) return;
  NavDialogSetSaveFileName(dialog, text);
  CFRelease(text);
}

Boolean XFSNavObjectFilterProc(AEDesc* item, void* info, void* clientData, short filterMode) {
  (void)filterMode;
  auto* spec = static_cast<XFileSpec*>(clientData);
  if (spec == nullptr || spec->m_ulstFileTypes == nullptr) return true;
  if (item == nullptr || (item->descriptorType != typeFSRef && item->descriptorType != typeFSS)) {
    return true;
  }
  auto const* itemInfo = static_cast<NavFileOrFolderInfo const*>(info);
  if (itemInfo == nullptr) return true;
  if (itemInfo->isFolder) return true;

  XFileSpec file;
  if (item->descriptorType == typeFSRef) {
    FSRef ref;
    if (AEGetDescDataSize(item) != Size(sizeof ref) || AEGetDescData(item, &ref, sizeof ref) != noErr) {
      return true;
    }
    file.Set(&ref);
  } else {
    FSSpec fsSpec;
    if (AEGetDescDataSize(item) != Size(sizeof fsSpec) ||
        AEGetDescData(item, &fsSpec, sizeof fsSpec) != noErr) {
      return true;
    }
    file.Set(&fsSpec);
  }
  UniString extension = XFileSpec::GetFileExt(file.GetFileOrDirName(kPathStyleHFS));
  OSType fileType = itemInfo->fileAndFolder.fileInfo.finderInfo.fdType;

  UniStringList const& types = *spec->m_ulstFileTypes;
  int32_t index = spec->m_lngTypeIndex;
  if (index == 0 || spec->m_bytNoTypePopup != 0) {
    for (UniString const& entry : types) {
      if (TypeEntryTakes(entry, extension, fileType)) return true;
    }
    return false;
  }
  if (index >= kOpenPopupLeadRows && uint32_t(index - kOpenPopupLeadRows) < types.Count()) {
    return TypeEntryTakes(types.At(uint32_t(index - kOpenPopupLeadRows)), extension, fileType);
  }
  return false;  // the separator row (or an index outside the pop-up) shows no file
}
