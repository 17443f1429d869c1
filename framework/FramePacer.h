#pragma once
// Drawing at the display's pace. A change to a form (a label's text, a panel's colour, a log
// line) only marks it for drawing; the windows are drawn on the next display frame, at most once
// per frame however many changes came in between, and a message that is already waiting when a
// frame is due (a relay command, say) is handled first. Drawing is driven by a timer of the
// pacer's own, so a change reaches the screen within a frame whatever else the loop is or is not
// doing.

class QWidget;

// The application object installs the pacer for its lifetime.
void InstallFramePacer();
void RemoveFramePacer();
// Has the pacer draw a top-level window (a form) on the display's frames.
void PaceFramesOf(QWidget* window);

// Draws the widget now, for the calls that promise an immediate refresh.
void RepaintNow(QWidget* widget);

// Frames drawn so far (for tests and benchmarks).
long FramesDrawn();
