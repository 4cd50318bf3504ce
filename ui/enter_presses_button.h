// Enter on a focused button, as on Windows.
#pragma once

class QWidget;

namespace tessarin {

// Makes Enter and the keypad's Enter press whichever push button of `window` has the focus, as Space does.
// Qt does that only inside dialogs; the child windows of the main window are not dialogs. Keys that a
// focused drop-down list, text field or grid takes keep their meaning there. Call once the window's buttons
// exist.
void PressFocusedButtonOnEnter(QWidget& window);

}  // namespace tessarin
