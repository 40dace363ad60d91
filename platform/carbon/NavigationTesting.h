// NavigationTesting: the script and the records of the Navigation Services stand-in.
// Interface: tests queue one stcNavTestRun per dialog they expect (NavTestQueueRun); each
// NavDialogRun takes the oldest. A run names the folder whose items the filter callback is
// offered, the pop-up changes and typed names to play after the start message, and how the
// run ends (cancel, or choose a path). NavTestDialogs() gives what each created dialog was
// asked for and what it did: its options, the locations and names its client set, the filter's
// verdict on every item, the events it sent. Calls can be made to fail (NavTestFailCall).
// Relies on platform/carbon/Navigation.h. Paths are the File Manager stand-in's virtual POSIX
// paths (UTF-8); the shown folder is listed on disk through the stand-in's root. Never throws
// into the caller of the dialog calls.
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/Navigation.h"

enum enumNavTestStepKind : int32_t {
  kNavTestStepPopup = 0,     // the user picks entry m_intIndex of the type pop-up
  kNavTestStepTypeName = 1,  // the user types m_strText into the save dialog's name field
  kNavTestStepShowFolder = 2 // the user browses to the folder m_strText (the filter runs again)
};

struct stcNavTestStep {
  enumNavTestStepKind m_intKind;
  int32_t m_intIndex;
  std::string m_strText;
};

struct stcNavTestRun {
  // The folder shown when the dialog opens; empty shows the location the client set (and no
  // items when it set none).
  std::string m_strShownFolder;
  std::vector<stcNavTestStep> m_vecSteps;
  // kNavUserActionCancel, or the accepting action (Open, SaveAs or Choose: the stand-in puts
  // the one its dialog kind uses) with m_strChosenPath.
  bool m_bolChoose = false;
  std::string m_strChosenPath;
  // Faults: NavDialogRun answers m_lngRunResult (sending nothing) when it is not noErr;
  // NavDialogGetReply answers m_lngReplyResult; the reply is marked invalid; the reply's
  // selection is empty.
  OSStatus m_lngRunResult = noErr;
  OSStatus m_lngReplyResult = noErr;
  bool m_bolInvalidReply = false;
  bool m_bolEmptySelection = false;

  stcNavTestRun& ShowFolder(std::string folder);  // at the start, or later as a step
  stcNavTestRun& Popup(int32_t index);
  stcNavTestRun& TypeName(std::string name);
};

stcNavTestRun NavTestCancel();
stcNavTestRun NavTestChoose(std::string path);
void NavTestQueueRun(stcNavTestRun const& run);
size_t NavTestQueuedRuns();

enum enumNavTestDialogKind : int32_t {
  kNavTestGetFile = 0,
  kNavTestPutFile = 1,
  kNavTestChooseFolder = 2
};

// One item offered to the filter callback, with its verdict.
struct stcNavTestFilterCall {
  std::string m_strPath;
  bool m_bolIsFolder;
  bool m_bolShown;
};

struct stcNavTestDialog {
  enumNavTestDialogKind m_intKind;
  // The creation options as text (UTF-8).
  NavDialogOptionFlags m_ulngOptionFlags = 0;
  WindowModality m_ulngModality = 0;
  std::string m_strMessage;
  std::string m_strActionButtonLabel;
  std::vector<std::string> m_vecPopup;
  bool m_bolHasPopup = false;
  bool m_bolHasEventProc = false;
  bool m_bolHasFilterProc = false;
  bool m_bolHasTypeList = false;
  OSType m_ulngFileType = 0;  // put dialogs
  OSType m_ulngFileCreator = 0;
  // What the client did through NavCustomControl and NavDialogSetSaveFileName.
  std::vector<FSRef> m_vecLocations;            // every kNavCtlSetLocation
  std::vector<std::string> m_vecLocationPaths;  // the same as paths
  int32_t m_intShowSelectionCount = 0;
  int32_t m_intRedrawCount = 0;
  std::vector<int32_t> m_vecSelectedCustomTypes;  // every kNavCtlSelectCustomType index
  std::vector<std::string> m_vecSaveNamesSet;     // every NavDialogSetSaveFileName
  // The pop-up entry shown now and the save name field now.
  int32_t m_intPopupIndex = 0;
  std::string m_strSaveName;
  // Every message the event callback was sent, in order.
  std::vector<NavEventCallbackMessage> m_vecEvents;
  // The filter's verdicts, pass by pass (a pass at the start, after each redraw and each
  // browse step).
  std::vector<std::vector<stcNavTestFilterCall>> m_vecFilterPasses;
  bool m_bolRan = false;
  bool m_bolDisposed = false;
};

// Every dialog created since the last reset, oldest first.
std::vector<stcNavTestDialog> NavTestDialogs();
// The paths the last filter pass of the newest dialog showed (empty without a dialog).
std::vector<std::string> NavTestLastShownItems();

// Calls that a test can make fail once (the next call) with a code.
enum enumNavTestCall : int32_t {
  kNavTestCallDefaultOptions = 0,
  kNavTestCallCreateGetFile = 1,
  kNavTestCallCreatePutFile = 2,
  kNavTestCallCreateChooseFolder = 3,
  kNavTestCallNewEventUPP = 4,      // answers null
  kNavTestCallNewFilterUPP = 5,     // answers null
  kNavTestCallCFArrayCreate = 6     // answers null
};
void NavTestFailCall(enumNavTestCall call, OSStatus result);

// Live objects, to check that clients free what they get.
int32_t NavTestLiveDialogs();
int32_t NavTestLiveReplies();
int32_t NavTestLiveDataDescriptors();

// The cursors SetThemeCursor was given, oldest first.
std::vector<ThemeCursor> NavTestThemeCursors();

// Empties the queue, the records and the forced failures, and the cursor record.
void NavTestReset();
