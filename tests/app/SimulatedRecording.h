#pragma once
#include <QString>

class QTreeWidget;

// A recording as the recorder would deliver it (device 0012AB34, 75 beats per
// minute), stored where a download puts it below `dataFolder`; returns its path.
QString StoreSimulatedRecording(const QString& dataFolder);

// Clicks the first recording of the data list, as a user opens it; false when
// the list holds none.
bool ClickFirstRecording(QTreeWidget& list);
