#pragma once
// The gallery window: a performance graph fed with a live series, a gauge of each kind, the
// calendar and the directory outline, each with a line that tells what it shows.

#include <array>

#include "components/Ccalendr/Ccalendr.h"
#include "components/Cdiroutl/Cdiroutl.h"
#include "components/Cgauges/Cgauges.h"
#include "components/Perfgrap/Perfgrap.h"
#include "framework/Button.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Timer.h"

class TGalleryForm : public TForm {
 public:
  explicit TGalleryForm(TComponent* owner);
  std::string ClassName() const override { return "TGalleryForm"; }

 private:
  TLabel* NewLabel(int left, int top, const std::string& caption);
  TButton* NewButton(int left, int top, int width, const std::string& caption,
                     TNotifyEvent onClick);
  void Tick();
  void ShowDate();
  void ShowDirectory();

  TPerformanceGraph* graph_ = nullptr;
  std::array<TCGauge*, 5> gauges_{};
  TCCalendar* calendar_ = nullptr;
  TCDirectoryOutline* outline_ = nullptr;
  TLabel* dateLabel_ = nullptr;
  TLabel* directoryLabel_ = nullptr;
  TTimer* timer_ = nullptr;
  int step_ = 0;
};
