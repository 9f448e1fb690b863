#pragma once
// A scripted walk through the window for documentation pictures, run only
// when the environment variable VORNAK_SCREENSHOT names a file prefix: the
// start-up look, the look after Connect, the expanded settings panel, the
// tester information dialog and a firmware update in progress are saved as
// <prefix>-small.png, <prefix>-connected.png, <prefix>-large.png,
// <prefix>-about.png and <prefix>-progress.png, and the program then ends.
// Without the variable nothing happens.

class CVornakWindow;

// Shows the window and starts the walk when asked; true when it started (the
// caller then runs the event loop, which the walk ends).
bool StartScreenshotTourIfAsked(CVornakWindow& window);
