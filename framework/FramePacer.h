#pragma once
// Drawing at the display's pace. A change to a form (a label's text, a panel's colour, a log
// line) only marks it for drawing; the windows are drawn on the next display frame, at most once
// per frame however many changes came in between, and a message that is already waiting when a
// frame is due (a relay command, say) is handled first. Drawing is driven by a timer of the
// pacer's own, so a change reaches the screen within a frame whatever else the loop is or is not
// doing.

#include <functional>

class QRect;
class QWidget;

// The application object installs the pacer for its lifetime.
void InstallFramePacer();
void RemoveFramePacer();
// Has the pacer draw a top-level window (a form) on the display's frames.
void PaceFramesOf(QWidget* window);

// Moves a shown widget to the geometry (of the same size) on the next frame, before that frame is
// drawn: many moves between two frames cost one, and none is carried out by the code that asked
// for it. False when the pacer cannot take it (the caller moves the widget itself).
bool MoveOnNextFrame(QWidget* widget, const QRect& geometry);
// Drops a move that waits for the frame (the widget's geometry is being set at once).
void ForgetMove(QWidget* widget);

// Runs step on the next display frame, before that frame is drawn, so that the widget can ask for
// no more drawing than its changes need (a log that scrolled moves its pixels and draws only its
// new lines). A widget asks once per frame. False when the pacer cannot take it (the caller asks
// for drawing itself).
bool PrepareOnNextFrame(QWidget* widget, std::function<void()> step);

// Draws the widget now, for the calls that promise an immediate refresh; moves waiting for the
// frame are carried out first.
void RepaintNow(QWidget* widget);
