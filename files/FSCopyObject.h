// FSCopyObject: the object copy toolkit, plain functions over the File Manager that copy a file or
// a whole folder tree into a folder with every fork (data, resource, named), the Finder
// information, dates, flags and permissions; also into drop boxes and, on one file server, by the
// server itself. Beside the copy: move-and-rename in one step, deletion of a folder tree, type and
// creator change and a touch of the modification date.
// Interface: the functions below. All take FSRef values and return a 16-bit OSErr: 0 for success,
// the platform's codes passed through, plus the toolkit's own kCopyErrDestInsideSource (-1234) and
// kCopyErrStoppedByFilter (-9876).
// Relies on the File Manager (platform/carbon/Files.h) only. Keeps no state between calls except
// the cached busy date; every buffer, array and list a call takes is freed before it returns.
// Nothing throws; a failed file copy deletes its partial result.
#pragma once

#include <cstdint>

#include "platform/carbon/Files.h"
#include "platform/carbon/MacTypes.h"

// The toolkit's own result codes.
enum : OSErr {
  kCopyErrDestInsideSource = -1234,  // the destination folder is the source or lies inside it
  kCopyErrStoppedByFilter = -9876    // the filter answered 1: the copy stopped
};

// What to do when the destination folder already holds an item of the copied item's name.
enum enumCopyClashAction : UInt32 {
  kCopyClashReplace = 0,     // set the old item aside, copy, then delete the old item
  kCopyClashUniqueName = 1,  // give the copy a unique name ("name 1.ext" .. "name 9.ext")
  kCopyClashFail = 2         // leave both alone: the create fails with dupFNErr
};

// Filled by FSCopyObjectPreflight and passed to every copying function.
struct CopyBufferContext {
  char* buffer;        // the copy buffer, from std::malloc; freed with std::free by its owner
  UInt32 bufferSize;   // bytes in buffer
  Boolean isDropBox;   // the destination folder is a drop box
  Boolean isLocal;     // the destination volume has no server address
  Boolean copyOnServer;  // same file server on both sides, and the server can copy files
  UInt32 clashAction;  // enumCopyClashAction
  // Set by a caller that will delete the source after the copy (a move across volumes): a fork
  // that cannot be created on the destination then fails the copy with that error instead of
  // being skipped, so no fork is lost with the source. A plain copy leaves it 0.
  Boolean failOnSkippedFork;
};

// Called once for every item copied (when given): the container-changed flag of the catalog read,
// the item's depth (0 for the item named in the call, 1 for its children ...), the error of this
// item's copy, its catalog information, the new item's reference, its FSSpec and name (null unless
// asked for), and the caller's data. Answers 1 to stop the whole copy.
typedef Boolean (*CopyObjectFilterProcPtr)(Boolean containerChanged, UInt32 currentLevel,
                                           OSErr currentOSErr, FSCatalogInfo const* catInfo,
                                           FSRef const* ref, FSSpec const* spec,
                                           HFSUniStr255 const* name, void* yourDataPtr);

// Copies the file or folder tree source into the folder destDir. maxLevels: 0 copies the whole
// tree, n copies n levels of contents (1: the folder's files, its sub-folders created empty).
// whichInfo: catalog fields the filter wants to see of each new item beyond the settable set.
// The new item's reference and FSSpec go to the out arguments (each may be null) on success only.
// paramErr when source or destDir is null; errFSNotAFolder when destDir is no folder;
// kCopyErrDestInsideSource when copying a folder into itself or below itself. Errors of single
// items inside a tree reach the filter only; the copy's result stays success.
OSErr FSCopyObject(FSRef const* source, FSRef const* destDir, UInt32 maxLevels,
                   FSCatalogInfoBitmap whichInfo, UInt32 clashAction, Boolean wantFSSpec,
                   Boolean wantName, CopyObjectFilterProcPtr filterProcPtr, void* yourDataPtr,
                   FSRef* newObjectRef, FSSpec* newObjectSpec);

// Prepares a copy: clears *bufferContext, sizes and allocates its buffer, and finds whether the
// destination is a drop box, local, or on the source's server. *isDirectory tells whether the
// source is a folder. The caller owns bufferContext->buffer afterwards, also on failure
// (std::free; it may be null).
OSErr FSCopyObjectPreflight(FSRef const* source, FSRef const* destDir, UInt32 clashAction,
                            CopyBufferContext* bufferContext, Boolean* isDirectory);

// Copies the one file source under destName into destDir. sourceCatInfo holds the source's
// settable catalog information (kFSCatInfoSettableInfo); its "has been inited" Finder flag is
// cleared. On dupFNErr the existing item is left alone; on any other failure the partial copy is
// deleted. newFile and newSpec (may be null) receive the new file's reference and FSSpec.
OSErr CopyFile(FSRef const* source, FSCatalogInfo* sourceCatInfo, FSRef const* destDir,
               HFSUniStr255 const* destName, CopyBufferContext const* bufferContext,
               FSRef* newFile, FSSpec* newSpec);

// Moves ref into destDirectory, renaming it to name when nameLength is not 0 (hint: the new
// name's text encoding). newRef (required) starts as a copy of ref and ends as the moved item.
// diffVolErr across volumes (the caller copies instead); on failure every step is undone.
OSErr FSMoveRenameObjectUnicode(FSRef const* ref, FSRef const* destDirectory,
                                UniCharCount nameLength, UniChar const* name,
                                TextEncoding textEncodingHint, FSRef* newRef);

// Sets a file's creator and type (0 leaves that code unchanged) and touches its parent folder.
// notAFileErr for a folder.
OSErr FSChangeCreatorType(FSRef const* ref, OSType fileCreator, OSType fileType);

// Sets the content modification date to now (a second later when that equals the stored date)
// and tells the Finder. A date that cannot be written is not an error.
OSErr FSBumpDate(FSRef const* ref);

// Deletes a file, or a folder with everything inside it; locked items are unlocked first.
// Symbolic links are deleted as items, never followed.
OSErr FSDeleteObjects(FSRef const* source);
