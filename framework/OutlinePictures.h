#pragma once
// The outline's own pictures, drawn rather than loaded so that the outline needs no files.

#include <memory>

#include "framework/Bitmap.h"

std::unique_ptr<TBitmap> ClosedFolderPicture();
std::unique_ptr<TBitmap> OpenFolderPicture();
std::unique_ptr<TBitmap> LeafPicture();
