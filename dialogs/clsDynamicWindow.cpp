// clsDynamicWindow: without a realised window there is no control to move and no window to size.
#include "dialogs/clsDynamicWindow.h"

void clsDynamicWindow::PositionControl(clsDWLayoutObject& obj) { (void)obj; }

OSStatus clsDynamicWindow::SetWindowSize(int width, int height, bool relative) {
  (void)width;
  (void)height;
  (void)relative;
  return noErr;
}
