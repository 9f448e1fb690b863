#pragma once
// A scripted walk through the window for documentation pictures, the whole of
// the vornak-screenshots tool: the start-up look, the look after Connect, the
// expanded settings panel, the tester information dialog and a firmware update
// in progress are saved as <prefix>-small.png, <prefix>-connected.png,
// <prefix>-large.png, <prefix>-about.png and <prefix>-progress.png; then
// `done` runs (by default the program ends).
//
// The station window's picture, <prefix>-station.png, is taken with four
// slots mid-run: it waits until the first tile passed, the second failed and
// the third is in a transfer, while the fourth waits (the caller's slots file
// leads them to boxes that do so); then it is saved again at the sizes of a
// 1280 x 1024 and a 1366 x 768 screen (<prefix>-station-1280x1024.png,
// <prefix>-station-1366x768.png) and the program ends.

#include <QString>
#include <functional>

class CVornakWindow;
class CStationWindow;

// Shows the window and starts the walk; the caller then runs the event loop.
void StartScreenshotTour(CVornakWindow& window, const QString& prefix,
                         std::function<void()> done = {});

// Shows the station window and takes its picture once its four tiles show
// the four states (or after a time limit, as they are).
void StartStationShot(CStationWindow& window, const QString& prefix);
