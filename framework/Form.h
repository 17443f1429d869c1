#pragma once
// Forms: top-level windows built from a form description. A form is the root of its
// description: it offers its methods to event properties and receives its named controls.

#include <functional>
#include <map>
#include <string>

#include "framework/ClassRegistry.h"
#include "framework/Control.h"

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TForm : public TWinControl, public TDescriptionRoot {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::string ClassName() const override { return "TForm"; }

  // Runs once the whole constructor chain has completed: OnCreate, whose exceptions are shown
  // by the application and swallowed.
  virtual void AfterConstruction();

  // Asks the form to close: OnClose decides the action; the main form ends the application.
  void Close();
  void Show();

  void SetAutoSize(bool autoSize);
  void SetClientWidth(int width);
  void SetClientHeight(int height);
  TRect ClientRect() const override;
  // Taken from form descriptions; the layout is always at 96 pixels per inch.
  void SetPixelsPerInch(int) {}
  // The window icon, as XPM image lines.
  void SetIconImage(const char* const* xpm);

  TNotifyEvent OnCreate;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

  // TDescriptionRoot
  const TMethodTable& Methods() const override { return methods_; }
  void BindField(const std::string& name, TComponent* component) override;

 protected:
  // Reads a form description into this form (the root object of the description).
  void ReadDescription(const std::string& text);

  // Registers a field that the description's component of that name is stored in.
  template <class T>
  void Field(const std::string& name, T*& field) {
    fields_[name] = [&field](TComponent* component) { field = dynamic_cast<T*>(component); };
  }
  // Registers a method that the description's event properties may name.
  template <class E>
  void Method(const std::string& name, E method) {
    methods_.Add<E>(name, std::move(method));
  }

  void BoundsChanged() override;
  void TextChanged() override;
  void Loaded() override;

 private:
  void FitToControls();

  TMethodTable methods_;
  std::map<std::string, std::function<void(TComponent*)>> fields_;
  bool autoSize_ = false;
};
