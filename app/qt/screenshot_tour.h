#pragma once
// A scripted walk through the window for documentation pictures, the whole of
// the vornak-screenshots tool: the start-up look, the look after Connect, the
// expanded settings panel, the tester information dialog and a firmware update
// in progress are saved as <prefix>-small.png, <prefix>-connected.png,
// <prefix>-large.png, <prefix>-about.png and <prefix>-progress.png, and the
// program then ends.

#include <QString>

class CVornakWindow;

// Shows the window and starts the walk; the caller then runs the event loop,
// which the walk ends.
void StartScreenshotTour(CVornakWindow& window, const QString& prefix);
