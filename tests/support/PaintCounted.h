#pragma once
// A control of the given class that counts how often it is painted.

template <class Control>
class PaintCounted : public Control {
 public:
  using Control::Control;
  void Paint() override {
    ++paints;
    Control::Paint();
  }
  int paints = 0;
};
