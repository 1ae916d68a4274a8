#pragma once
class QWidget;

// A termination (SIGTERM, as at log-out or from a service manager) or Ctrl-C in the
// starting terminal closes the main window through its normal close sequence instead
// of ending the process where it stands: a running live stream is stopped at the
// recorder, the window's keys are written, the device worker ends. Installed once.
void CloseOnTermination(QWidget& window);
