#pragma once
// Where the windows go. A box without a screen (no X or Wayland display, no platform asked for)
// draws them off screen instead of failing to start.

// Call before the application object exists. Without DISPLAY and WAYLAND_DISPLAY, and with no
// platform named by QT_QPA_PLATFORM or -platform, chooses the offscreen platform; true then.
bool ChooseOffscreenWithoutDisplay(int argc, char** argv);

// Whether the application draws off screen, chosen here or by whoever started the program.
bool RunningOffscreen();
