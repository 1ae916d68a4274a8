#pragma once

// Installs once for the whole program: every window shows the mark of the
// control that has the keyboard from the moment it opens. Left to itself Qt
// draws the mark only after a Tab in that window, so a dialog opened with
// Enter would not show where the next Enter goes.
void ShowFocusMarksFromTheStart();
