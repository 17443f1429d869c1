#pragma once
// Border styles of forms, also used by controls that tell a single border from none.

#include <cstdint>

enum TFormBorderStyle : uint8_t {
  bsNone,
  bsSingle,
  bsSizeable,
  bsDialog,
  bsToolWindow,
  bsSizeToolWin,
};
