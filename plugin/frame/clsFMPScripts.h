// clsFMPScripts: the two queues the idle handler works through when the host lets it: script
// events (run a named script of a named database file at once, at a date and time, every so many
// seconds, or after a spell of idleness) and SQL statements, one of each per idle call.
// Interface: clsFMPScriptItem (one event), clsFMPScripts (its immediate and timed lists with
// GetNextEvent, RemEvent, RemAllEvents), the one queue g_udtFMPScripts, the event in hand
// g_udtCurrFMPScriptItem, the statement list m_ulstSQLQueue, and ProcessFMPScripts, DoFMPScript,
// ProcessSQLQueue, CleanUpSQLQueue.
// Nothing in the plug-in fills either queue: both start empty and stay so. The lists are open
// (first and last pointers are public) for whoever links events into them.
// Relies on the host's call block (start-script callback) through plugin/PluginGlobals.h, the
// calculation engine's ExecuteSQL, core/clsDateTime.h and the debug log. Host thread only; no
// lock. Failures are traced, never reported: a refused script start is retried at later idle
// calls up to 21 attempts in all, a failing statement is dropped.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "platform/fmx/FMXCalcEngine.h"

// An event is eligible for a request whose minimum priority is at most the event's own.
enum enumScriptPriority : int32_t { kScriptPriorityNormal = 0 };

// The kinds of script event.
enum enumScriptEventType : int32_t {
  kScriptEventImmediate = 0,
  kScriptEventDateTime = 1,  // due at m_udtWhen
  kScriptEventInterval = 2,  // every m_ulngSeconds; m_udtWhen is when it last fired
  kScriptEventIdle = 3       // after m_ulngSeconds of idleness, once per idle spell
};

class clsFMPScriptItem {
 public:
  clsFMPScriptItem();
  clsFMPScriptItem(clsFMPScriptItem const&) = delete;
  clsFMPScriptItem& operator=(clsFMPScriptItem const&) = delete;

  int32_t m_enmType;
  int32_t m_intFailures;  // failed starts; reset when the event is taken from the queue
  UniString m_ustrUserScriptName;
  UniString m_ustrFileName;
  UniString m_ustrScriptName;
  UniString m_ustrParameter;  // empty: none
  clsDateTime m_udtWhen;
  uint32_t m_ulngSeconds;
  bool m_bolRepeat;  // interval and idle events: stays queued after it ran
  enumScriptPriority m_enmPriority;
  uint8_t m_bytScriptControl;  // passed to the host unchanged
  bool m_bolIdleFired;
  clsFMPScriptItem* m_udtNext;
};

class clsFMPScripts {
 public:
  clsFMPScripts();
  ~clsFMPScripts();
  clsFMPScripts(clsFMPScripts const&) = delete;
  clsFMPScripts& operator=(clsFMPScripts const&) = delete;

  // The event to run next, or null: the first eligible immediate event, else the last eligible
  // due timed event (each due interval event on the way has its firing time reset).
  clsFMPScriptItem* GetNextEvent(enumScriptPriority minimum, uint32_t idleSince);
  // Unlinks the item from the list holding it and destroys it; others are ignored.
  void RemEvent(clsFMPScriptItem* item);
  void RemAllEvents();

  clsFMPScriptItem* m_udtFirstImmediate;
  clsFMPScriptItem* m_udtLastImmediate;
  clsFMPScriptItem* m_udtFirstTimed;
  clsFMPScriptItem* m_udtLastTimed;
};

// The one script queue, from load to unload.
extern clsFMPScripts g_udtFMPScripts;
// The event being worked on, kept between idle calls while its start is retried; null for none.
extern clsFMPScriptItem* g_udtCurrFMPScriptItem;
// Pending SQL statements; null when there is no list.
extern UniStringList* m_ulstSQLQueue;

// Handles at most one event: keeps or drops the one in hand, else takes the next; starts its
// script when runScripts is set and both names are given; removes it unless it repeats.
void ProcessFMPScripts(bool runScripts, enumScriptPriority minimum, uint32_t idleSince);
// Asks the host to run the script; 1 when the host accepted, 0 otherwise (also for an empty
// name, without asking).
int DoFMPScript(UniString fileName, UniString scriptName, UniString parameter, uint8_t control);
// Runs the first queued statement in the environment and drops it whatever the outcome; true
// when there was one.
bool ProcessSQLQueue(fmx::ExprEnv const& env);
// Deletes the statement list.
void CleanUpSQLQueue();
