// The component gallery: one window with the four display components to look at and try.
#include "app/gallery/GalleryForm.h"
#include "components/DisplayComponents.h"
#include "framework/Application.h"

int main(int argc, char** argv) {
  auto* application = new TApplication(argc, argv);
  try {
    RegisterDisplayComponents();
    Application->Initialize();
    TGalleryForm* form = nullptr;
    Application->CreateForm(form);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  delete application;
  return 0;
}
