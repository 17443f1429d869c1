#include "components/Cdiroutl/Cdiroutl.h"

#include <algorithm>
#include <map>
#include <new>
#include <vector>

#include "framework/ClassRegistry.h"
#include "platform/FileSystem.h"

void* const TCDirectoryOutline::APointer = const_cast<void**>(&TCDirectoryOutline::APointer);
void* const TCDirectoryOutline::CyclePointer =
    const_cast<void**>(&TCDirectoryOutline::CyclePointer);

namespace {

char UpperLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string WithoutTrailingBackslash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string WithTrailingBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// A subdirectory found by a search, before it becomes an item.
struct FoundDirectory {
  std::string text;  // the name in the text case
  std::string name;  // the name on disk
  bool onPath;       // the directory is already on the path to the item being read
};

// Two spellings of one forced text name the same directory unless both exist and differ.
bool SameDirectory(const std::string& a, const std::string& b) {
  if (a == b) return true;
  TFileIdentity first, second;
  if (!GetFileIdentity(a, first) || !GetFileIdentity(b, second)) return true;
  return first == second;
}

}  // namespace

TCDirectoryOutline::TCDirectoryOutline(TComponent* owner) : TCustomOutline(owner) {
  SetStyle(osTreePictureText);
  SetOptions({ooDrawFocusRect, ooStretchBitmaps});
  // Items without subdirectories show the closed folder too.
  SetPictureLeaf(PictureClosed());
  AssignCaseProc();
}

TCDirectoryOutline::~TCDirectoryOutline() = default;

std::string TCDirectoryOutline::ClassName() const {
  return "TCDirectoryOutline";
}

char TCDirectoryOutline::Drive() const {
  return drive_;
}

const std::string& TCDirectoryOutline::Directory() const {
  return directory_;
}

TTextCase TCDirectoryOutline::TextCase() const {
  return textCase_;
}

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
  const std::string current = CurDir();
  if (current.empty()) return;
  directory_ = ForceCase(current);
  diskDirectory_ = current;
  drive_ = directory_[0];
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
  InsertChildren(0, {{0, ForceCase(driveText), driveText, nullptr}});
  // The tree always reaches the current directory, even through directories a level leaves
  // out (a hidden one, as in ~/.config): a form must load wherever its program runs.
  SetSelectedItem(WalkDown(diskDirectory_.empty() ? directory_ : diskDirectory_, true));
  Change();
}

const std::string& TCDirectoryOutline::DiskName(const TOutlineNode& node) {
  return node.Key().empty() ? node.Text() : node.Key();
}

std::string TCDirectoryOutline::DiskPath(int index) {
  const TOutlineNode* item = &Items(index);
  std::string path;
  for (const TOutlineNode* node = item; node && node->Parent(); node = node->Parent())
    path = node == item ? DiskName(*node) : DiskName(*node) + ItemSeparator() + path;
  return path;
}

void TCDirectoryOutline::BuildOneLevel(int index) {
  const std::string directory = DiskPath(index);
  // The directories on the path down to this item, itself included: met again below it, they
  // are listed but not read, or the tree would go on for ever.
  std::vector<TFileIdentity> path;
  for (TOutlineNode* node = &Items(index); node && node->Parent(); node = node->Parent()) {
    TFileIdentity identity;
    if (GetFileIdentity(WithTrailingBackslash(DiskPath(node->Index())), identity))
      path.push_back(identity);
  }
  std::vector<FoundDirectory> found;
  TSearchRec search;
  int result = FindFirst(WithTrailingBackslash(directory) + "*.*", faDirectory, search);
  while (result == 0) {
    if ((search.Attr & faDirectory) != 0 && !search.Name.empty() && search.Name[0] != '.') {
      const bool onPath = std::find(path.begin(), path.end(), search.Identity) != path.end();
      found.push_back({ForceCase(search.Name), search.Name, onPath});
    }
    result = FindNext(search);
  }
  // Each name goes before the first child whose text compares greater than or equal to it, in
  // the order the search gave them. The children of a level stand in that order already, so
  // the same places come from sorting the names (a later one first among equals) and merging
  // them in, without an insertion, and a renumbering, per name.
  std::reverse(found.begin(), found.end());
  std::stable_sort(found.begin(), found.end(),
                   [](const FoundDirectory& a, const FoundDirectory& b) {
                     return AnsiCompareText(a.text, b.text) < 0;
                   });
  TOutlineNode& node = Items(index);
  std::vector<TOutlineInsertion> insertions;
  insertions.reserve(found.size());
  int position = 0;
  for (const FoundDirectory& directoryFound : found) {
    while (position < node.ChildCount() &&
           AnsiCompareText(node.Child(position)->Text(), directoryFound.text) < 0) {
      ++position;
    }
    insertions.push_back({position, directoryFound.text, directoryFound.name,
                          directoryFound.onPath ? CyclePointer : nullptr});
  }
  InsertChildren(index, insertions);
  ShowChildNames(node);
  node.SetData(APointer);
  FindClose(search);
}

void TCDirectoryOutline::ShowChildNames(TOutlineNode& node) {
  // The names on disk of the children by their forced text; two or more means case twins.
  std::map<std::string, std::vector<std::string>> namesByText;
  for (int position = 0; position < node.ChildCount(); ++position) {
    const std::string& name = DiskName(*node.Child(position));
    std::vector<std::string>& names = namesByText[ForceCase(name)];
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  for (int position = 0; position < node.ChildCount(); ++position) {
    TOutlineNode& child = *node.Child(position);
    const std::string name = DiskName(child);
    const std::string text = ForceCase(name);
    child.SetKey(name);
    child.SetText(namesByText[text].size() > 1 ? name : text);
  }
}

void TCDirectoryOutline::BuildSubTree(int index) {
  BuildOneLevel(index);
  TOutlineNode& node = Items(index);
  // Reading a child's subtree moves the indexes of the children after it, so each child is
  // reached through the node itself.
  for (int position = 0; position < node.ChildCount(); ++position) {
    TOutlineNode& child = *node.Child(position);
    if (child.Data() == CyclePointer) continue;
    BuildSubTree(child.Index());
  }
}

void TCDirectoryOutline::Expand(int index) {
  if (Items(index).Data() == nullptr) BuildOneLevel(index);
  TCustomOutline::Expand(index);
}

int TCDirectoryOutline::GetChildNamed(const std::string& name, int index) {
  TOutlineNode& node = Items(index);
  node.Expand();
  for (int position = 0; position < node.ChildCount(); ++position) {
    if (DiskName(*node.Child(position)) == name) return node.Child(position)->Index();
  }
  const std::string wanted = AnsiUpperCase(name);
  for (int position = 0; position < node.ChildCount(); ++position) {
    if (AnsiUpperCase(node.Child(position)->Text()) == wanted) return node.Child(position)->Index();
  }
  return InvalidIndex;
}

int TCDirectoryOutline::AddUnlistedChild(const std::string& name, int index) {
  if (index == InvalidIndex) return InvalidIndex;
  const std::string pattern = WithTrailingBackslash(DiskPath(index)) + name;
  TSearchRec search;
  bool found = false;
  for (int result = FindFirst(pattern, faDirectory | faHidden | faSysFile, search);
       result == 0 && !found; result = FindNext(search)) {
    found = (search.Attr & faDirectory) != 0 && search.Name == name;
  }
  FindClose(search);
  if (!found) return InvalidIndex;
  TOutlineNode& node = Items(index);
  const std::string text = ForceCase(name);
  int position = 0;
  while (position < node.ChildCount() && AnsiCompareText(node.Child(position)->Text(), text) < 0)
    ++position;
  InsertChildren(index, {{position, text, name, nullptr}});
  ShowChildNames(node);
  return node.Child(position)->Index();
}

int TCDirectoryOutline::WalkDown(const std::string& path, bool addUnlisted) {
  // Not forced to the text case: the names as given pick the right one of case twins, and the
  // comparison ignores case for all others.
  std::string rest = path;
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
    const int parent = index;
    index = GetChildNamed(name, parent);
    if (index == InvalidIndex && addUnlisted) index = AddUnlistedChild(name, parent);
  }
  return index;
}

void TCDirectoryOutline::WalkTree(const std::string& path) {
  SetSelectedItem(WalkDown(path, false));
}

void TCDirectoryOutline::SetDirectory(const std::string& path) {
  if (path.empty()) return;
  const std::string expanded = WithoutTrailingBackslash(ExpandFileName(path));
  if (expanded.empty()) return;  // not a path at all
  const std::string target = ForceCase(expanded);
  // Case twins share the forced text: only the spelling on disk tells them apart.
  const std::string onDisk = WithoutTrailingBackslash(DiskSpelling(expanded));
  if (target == directory_ && SameDirectory(onDisk, diskDirectory_)) return;
  directory_ = target;
  diskDirectory_ = onDisk;
  SetCurrentDir(onDisk);
  if (UpperLetter(target[0]) == UpperLetter(drive_)) {
    WalkTree(onDisk);
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
  diskDirectory_ = CurDir();
  directory_ = ForceCase(diskDirectory_);
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
    diskDirectory_ = current;
  }
  if (!IsLoading()) BuildTree();
}

void TCDirectoryOutline::Click() {
  TCustomOutline::Click();
  // The item's own directory, by its names on disk: its text may stand for case twins.
  SetDirectory(DiskPath(SelectedItem()));
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
             // In the order of the enumeration.
             const unsigned bits = v.AsSet(
                 {"ooDrawTreeRoot", "ooDrawFocusRect", "ooStretchBitmaps"}, "outline option");
             TOutlineOptions options;
             for (int option = 0; option < 3; ++option)
               if (bits & (1u << option)) options.insert(static_cast<TOutlineOption>(option));
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
