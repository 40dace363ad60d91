// clsDynamicWindow: the window that shows a laid-out dialog description.
// Interface so far: PositionControl (moves a node's live control to its final bounds) and
// SetWindowSize (sets or grows the window content), the two calls the layout engine makes after
// a re-layout. No window is realised yet: both do nothing.
// Relies on the layout model; runs on the host's thread.
#pragma once

#include "dialogs/clsDWLayout.h"
#include "platform/carbon/MacTypes.h"

class clsDynamicWindow {
 public:
  // Moves the node's control to its final bounds (a final field of 0: the laid-out value).
  void PositionControl(clsDWLayoutObject& obj);
  // Sets the content size to width x height, or grows it by that much when relative.
  OSStatus SetWindowSize(int width, int height, bool relative);
};
