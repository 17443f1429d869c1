#include "components/Cdiroutl/Cdiroutl.h"

#include <new>
#include <vector>

#include "framework/ClassRegistry.h"
#include "platform/FileSystem.h"

void* const TCDirectoryOutline::APointer = const_cast<void**>(&TCDirectoryOutline::APointer);

namespace {

char UpperLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

TCDirectoryOutline::TCDirectoryOutline(TComponent* owner) : TCustomOutline(owner) {
  directory_.clear();
  textCase_ = tcLowerCase;
  SetStyle(osTreePictureText);
  SetOptions({ooDrawFocusRect, ooStretchBitmaps});
  // Items without subdirectories show the closed folder too.
  SetPictureLeaf(PictureClosed());
  AssignCaseProc();
}

TCDirectoryOutline::~TCDirectoryOutline() = default;

void TCDirectoryOutline::AssignCaseProc() {
  switch (textCase_) {
    case tcLowerCase:
      caseProc_ = &AnsiLowerCaseFileName;
      break;
    case tcUpperCase:
      caseProc_ = &AnsiUpperCaseFileName;
      break;
    case tcAsIs:
      caseProc_ = nullptr;
      break;
  }
}

std::string TCDirectoryOutline::ForceCase(const std::string& name) const {
  return caseProc_ ? caseProc_(name) : name;
}

int TCDirectoryOutline::DriveToInt(char letter) {
  return UpperLetter(letter) - 'A';
}

std::string TCDirectoryOutline::CurDir() {
  try {
    std::vector<char> buffer(256);
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
      buffer.resize(length);
      length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
      if (length >= buffer.size()) return "";
    }
    if (length == 0) return "";
    return std::string(buffer.data(), length);
  } catch (const std::bad_alloc&) {
    return "";
  }
}

void TCDirectoryOutline::TakeDriveFromCurrentDirectory() {
  const std::string current = ForceCase(CurDir());
  if (current.empty()) return;
  drive_ = current[0];
  directory_ = current;
}

void TCDirectoryOutline::CreateWnd() {
  TCustomOutline::CreateWnd();
  if (drive_ == 0) TakeDriveFromCurrentDirectory();
}

void TCDirectoryOutline::Loaded() {
  TCustomOutline::Loaded();
  AssignCaseProc();
  // An outline loaded before its window exists has no drive yet; it takes the current
  // directory's, as window creation would, so that the tree it builds has a drive letter.
  if (drive_ == 0) TakeDriveFromCurrentDirectory();
  BuildTree();
}

void TCDirectoryOutline::BuildTree() {
  Clear();
  const std::string driveText = drive_ == 0 ? std::string(":") : std::string(1, drive_) + ":";
  AddChild(0, ForceCase(driveText));
  WalkTree(directory_);
  Change();
}

void TCDirectoryOutline::BuildOneLevel(int index) {
  std::string pattern = Items(index).FullPath();
  if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
  pattern += "*.*";
  TSearchRec search;
  int result = FindFirst(pattern, faDirectory, search);
  while (result == 0) {
    if ((search.Attr & faDirectory) != 0 && !search.Name.empty() && search.Name[0] != '.') {
      const std::string name = ForceCase(search.Name);
      TOutlineNode& node = Items(index);
      if (!node.HasItems()) {
        AddChild(index, name);
      } else {
        int child = node.GetFirstChild();
        while (child != InvalidIndex && AnsiCompareText(Items(child).Text(), name) < 0) {
          child = node.GetNextChild(child);
        }
        if (child != InvalidIndex) {
          Insert(child, name);
        } else {
          Add(node.GetLastChild(), name);
        }
      }
    }
    result = FindNext(search);
  }
  Items(index).SetData(APointer);
  FindClose(search);
}

void TCDirectoryOutline::BuildSubTree(int index) {
  BuildOneLevel(index);
  TOutlineNode& node = Items(index);
  // Reading a child's subtree moves the indexes of the children after it, so each child is
  // reached through the node itself.
  for (int position = 0; position < node.ChildCount(); ++position) {
    BuildSubTree(node.Child(position)->Index());
  }
}

void TCDirectoryOutline::Expand(int index) {
  if (Items(index).Data() == nullptr) BuildOneLevel(index);
  TCustomOutline::Expand(index);
}

int TCDirectoryOutline::GetChildNamed(const std::string& name, int index) {
  TOutlineNode& node = Items(index);
  node.Expand();
  const std::string wanted = AnsiUpperCase(name);
  for (int child = node.GetFirstChild(); child != InvalidIndex; child = node.GetNextChild(child)) {
    if (AnsiUpperCase(Items(child).Text()) == wanted) return child;
  }
  return InvalidIndex;
}

void TCDirectoryOutline::WalkTree(const std::string& path) {
  std::string rest = ForceCase(path);
  int index = RootIndex;
  const size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    rest.erase(0, colon + 1);
    if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  }
  while (!rest.empty()) {
    const size_t separator = rest.find('\\');
    const std::string name = rest.substr(0, separator);
    rest = separator == std::string::npos ? std::string() : rest.substr(separator + 1);
    index = GetChildNamed(name, index);
  }
  SetSelectedItem(index);
}

void TCDirectoryOutline::SetDirectory(const std::string& path) {
  if (path.empty()) return;
  std::string target = ForceCase(ExpandFileName(path));
  if (target.empty()) return;  // not a path at all
  if (target.size() > 3 && target.back() == '\\') target.pop_back();
  if (target == directory_) return;
  directory_ = target;
  SetCurrentDir(target);
  if (UpperLetter(target[0]) == UpperLetter(drive_)) {
    WalkTree(target);
    Change();
  } else {
    SetDrive(target[0]);
  }
}

void TCDirectoryOutline::SetDrive(char letter) {
  const char upper = UpperLetter(letter);
  if (upper < 'A' || upper > 'Z') return;
  if (upper == UpperLetter(drive_)) return;
  drive_ = upper;
  SetCurrentDrive(DriveToInt(upper));
  directory_ = ForceCase(CurDir());
  if (!IsLoading()) BuildTree();
}

void TCDirectoryOutline::SetTextCase(TTextCase value) {
  if (value == textCase_) return;
  textCase_ = value;
  AssignCaseProc();
  if (value == tcAsIs) {
    const std::string current = CurDir();
    if (!current.empty()) drive_ = current[0];
    directory_ = current;
  }
  if (!IsLoading()) BuildTree();
}

void TCDirectoryOutline::Click() {
  TCustomOutline::Click();
  SetDirectory(Items(SelectedItem()).FullPath());
}

void TCDirectoryOutline::Change() {
  if (OnChange) OnChange(this);
}

void RegisterCdiroutl() {
  using D = TCDirectoryOutline;
  RegisterComponentClass(TComponentClass{
      "TCDirectoryOutline",
      "TWinControl",
      [](TComponent* owner) -> TComponent* { return new TCDirectoryOutline(owner); },
      {
          {"TextCase", EnumSetter(&D::SetTextCase, {"tcLowerCase", "tcUpperCase", "tcAsIs"}),
           "tcLowerCase"},
          {"ItemHeight", IntSetter(&D::SetItemHeight), "18"},
          {"Style",
           EnumSetter(&D::SetStyle, {"osText", "osPlusMinusText", "osPictureText",
                                     "osPlusMinusPictureText", "osTreeText", "osTreePictureText"}),
           "osTreePictureText"},
          {"Options",
           [](TComponent& c, const TPropertyValue& v) {
             if (v.kind != TPropertyValue::Kind::Set) v.Fail("a set of outline options expected");
             TOutlineOptions options;
             for (const std::string& item : v.items) {
               if (item == "ooDrawTreeRoot") {
                 options.insert(ooDrawTreeRoot);
               } else if (item == "ooDrawFocusRect") {
                 options.insert(ooDrawFocusRect);
               } else if (item == "ooStretchBitmaps") {
                 options.insert(ooStretchBitmaps);
               } else {
                 v.Fail("unknown outline option '" + item + "'");
               }
             }
             dynamic_cast<D&>(c).SetOptions(options);
           },
           "[ooDrawFocusRect, ooStretchBitmaps]"},
          {"ScrollBars",
           EnumSetter(&D::SetScrollBars, {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}),
           "ssBoth"},
          {"OnChange", EventSetter(&D::OnChange), ""},
          {"OnExpand", EventSetter(&D::OnExpand), ""},
          {"OnCollapse", EventSetter(&D::OnCollapse), ""},
          {"OnDblClick", EventSetter(&D::OnDblClick), ""},
          {"OnEnter", EventSetter(&D::OnEnter), ""},
          {"OnExit", EventSetter(&D::OnExit), ""},
          {"OnKeyDown", EventSetter(&D::OnKeyDown), ""},
          {"OnKeyPress", EventSetter(&D::OnKeyPress), ""},
          {"OnKeyUp", EventSetter(&D::OnKeyUp), ""},
          {"OnMouseDown", EventSetter(&D::OnMouseDown), ""},
          {"OnMouseMove", EventSetter(&D::OnMouseMove), ""},
          {"OnMouseUp", EventSetter(&D::OnMouseUp), ""},
      }});
}
