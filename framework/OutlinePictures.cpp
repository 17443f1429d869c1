#include "framework/Outline.h"

// The outline's own pictures are drawn rather than loaded, so that the outline needs no files.

namespace {

constexpr TColor kDefaultTransparent = clFuchsia;
constexpr TColor kFolderYellow = 0x0000C0FF;  // 0x00BBGGRR: a warm yellow
constexpr TColor kFolderLight = 0x0080FFFF;

std::unique_ptr<TBitmap> NewPicture() {
  auto picture = std::make_unique<TBitmap>();
  picture->SetSize(16, 16);
  TCanvas* canvas = picture->Canvas();
  canvas->Brush().SetColor(kDefaultTransparent);
  canvas->FillRect(Rect(0, 0, 16, 16));
  canvas->Pen().SetColor(clBlack);
  return picture;
}

std::unique_ptr<TBitmap> CopyPicture(const TBitmap* source) {
  auto copy = std::make_unique<TBitmap>();
  if (!source) return copy;
  copy->SetSize(source->Width(), source->Height());
  copy->Canvas()->CopyRect(Rect(0, 0, source->Width(), source->Height()), *source->Canvas(),
                           Rect(0, 0, source->Width(), source->Height()));
  return copy;
}

}  // namespace

std::unique_ptr<TBitmap> TCustomOutline::ClosedFolderPicture() {
  auto picture = NewPicture();
  TCanvas* canvas = picture->Canvas();
  canvas->Brush().SetColor(kFolderYellow);
  canvas->Rectangle(1, 3, 8, 6);
  canvas->Rectangle(1, 5, 15, 14);
  canvas->Pen().SetColor(kFolderLight);
  canvas->MoveTo(2, 6);
  canvas->LineTo(14, 6);
  return picture;
}

std::unique_ptr<TBitmap> TCustomOutline::OpenFolderPicture() {
  auto picture = NewPicture();
  TCanvas* canvas = picture->Canvas();
  canvas->Brush().SetColor(kFolderYellow);
  canvas->Rectangle(1, 3, 8, 6);
  canvas->Rectangle(1, 5, 13, 14);
  // The open front leans out of the folder.
  canvas->Pen().SetColor(clBlack);
  for (int y = 8; y < 14; ++y) {
    const int shift = (13 - y) / 2;
    canvas->Brush().SetColor(kFolderLight);
    canvas->FillRect(Rect(2 + shift, y, 15 - (13 - y) / 3, y + 1));
  }
  canvas->MoveTo(4, 8);
  canvas->LineTo(15, 8);
  canvas->LineTo(12, 13);
  return picture;
}

std::unique_ptr<TBitmap> TCustomOutline::LeafPicture() {
  auto picture = NewPicture();
  TCanvas* canvas = picture->Canvas();
  canvas->Brush().SetColor(clWhite);
  canvas->Rectangle(3, 1, 13, 15);
  canvas->Pen().SetColor(clGray);
  for (int y = 4; y < 13; y += 2) {
    canvas->MoveTo(5, y);
    canvas->LineTo(11, y);
  }
  return picture;
}

// --- TCustomOutline: pictures -------------------------------------------------------------

void TCustomOutline::SetPictureOpen(const TBitmap* picture) {
  pictureOpen_ = CopyPicture(picture);
  Invalidate();
}

void TCustomOutline::SetPictureClosed(const TBitmap* picture) {
  pictureClosed_ = CopyPicture(picture);
  Invalidate();
}

void TCustomOutline::SetPictureLeaf(const TBitmap* picture) {
  pictureLeaf_ = CopyPicture(picture);
  Invalidate();
}

int TCustomOutline::PictureWidth() const {
  const int height = itemHeight_ - 2;
  const TBitmap& picture = *pictureClosed_;
  if (picture.Width() <= 0 || picture.Height() <= 0) return 0;
  if (options_.count(ooStretchBitmaps) && picture.Height() > height && height > 0) {
    return picture.Width() * height / picture.Height();
  }
  return picture.Width();
}

const TBitmap* TCustomOutline::PictureFor(const TOutlineNode& node) const {
  if (!node.HasItems()) return pictureLeaf_.get();
  return node.Expanded() ? pictureOpen_.get() : pictureClosed_.get();
}

void TCustomOutline::DrawPicture(const TBitmap& picture, int x, int top) {
  if (picture.Width() <= 0 || picture.Height() <= 0) return;
  int width = picture.Width();
  int height = picture.Height();
  const int room = itemHeight_ - 2;
  if (options_.count(ooStretchBitmaps) && height > room && room > 0) {
    width = width * room / height;
    height = room;
  }
  const int y0 = top + (itemHeight_ - height) / 2;
  // The bottom-left pixel names the colour that lets the background show through.
  const TColor transparent = picture.Pixels(0, picture.Height() - 1);
  TCanvas& canvas = Canvas();
  for (int y = 0; y < height; ++y) {
    for (int x0 = 0; x0 < width; ++x0) {
      const TColor color =
          picture.Pixels(x0 * picture.Width() / width, y * picture.Height() / height);
      if (color != transparent) canvas.SetPixel(x + x0, y0 + y, color);
    }
  }
}
