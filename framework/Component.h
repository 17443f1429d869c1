#pragma once
// The root object class and components: objects with an owner that deletes them, a name, and
// the loading state that a form description sets while it writes their properties.

#include <functional>
#include <string>
#include <vector>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event: a callable bound to its object, possibly unassigned (tested with operator bool).
using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TComponentState { csLoading, csDesigning, csDestroying };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  TComponent* FindComponent(const std::string& name) const;

  bool IsLoading() const { return loading_; }
  bool IsDesigning() const { return false; }  // never at run time
  void SetLoading(bool loading) { loading_ = loading; }

  // Runs once after a form description has set all of this component's properties.
  virtual void Loaded() {}

  // The class name under which the component is known to form descriptions.
  virtual std::string ClassName() const { return "TComponent"; }

  // Takes a component out of this one's ownership without deleting it.
  void RemoveComponent(TComponent* component);

 protected:
  // Deletes the owned components, newest first; derived destructors call it when their owned
  // components must go before their own members.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* component) { components_.push_back(component); }

  TComponent* owner_ = nullptr;
  std::string name_;
  int tag_ = 0;
  bool loading_ = false;
  std::vector<TComponent*> components_;
};
