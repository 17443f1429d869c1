#include "platform/FileSystem.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kNoMoreFiles = 18;
constexpr int kNotReady = 21;

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A name in a POSIX directory.
std::string ChildPath(const std::string& directory, const std::string& name) {
  return (directory == "/" ? directory : directory + "/") + name;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool HasDrive(const std::string& path) {
  return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':';
}

std::vector<std::string> SplitComponents(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (IsSeparator(c)) {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// Applies "." and ".." to a list of components; ".." at the root stays at the root.
std::vector<std::string> Normalize(const std::vector<std::string>& parts) {
  std::vector<std::string> result;
  for (const std::string& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!result.empty()) result.pop_back();
      continue;
    }
    result.push_back(part);
  }
  return result;
}

std::string JoinDrivePath(char drive, const std::vector<std::string>& parts) {
  std::string result = std::string(1, drive) + ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

bool EntryExists(const std::string& posix) {
  struct stat info {};
  return lstat(posix.c_str(), &info) == 0;
}

// The entry of a directory whose name equals name case-insensitively; of several, the first in
// byte order, so that the choice does not depend on the order the directory lists them. found
// keeps its value when there is none.
bool FindNameIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) return false;
  const QString wanted = ToQString(name);
  bool any = false;
  while (dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (ToQString(candidate).compare(wanted, Qt::CaseInsensitive) != 0) continue;
    if (!any || candidate < found) found = candidate;
    any = true;
  }
  closedir(dir);
  return any;
}

// Resolves normalised components below "/" one at a time.
std::string ResolveComponents(const std::vector<std::string>& parts) {
  std::string posix = "/";
  for (const std::string& part : parts) {
    std::string name = part;
    if (!EntryExists(ChildPath(posix, part))) FindNameIgnoringCase(posix, part, name);
    posix = ChildPath(posix, name);
  }
  return posix;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  const QString text = ToQString(name).toUpper();
  const QString mask = ToQString(pattern).toUpper();
  // Iterative wildcard match with one back-tracking point for the last "*".
  qsizetype t = 0, m = 0, star = -1, mark = 0;
  while (t < text.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == text[t])) {
      ++t;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      mark = t;
    } else if (star >= 0) {
      m = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

TFileIdentity IdentityOf(const struct stat& info) {
  return TFileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// The attributes of a directory entry; identity receives what it leads to and size the size of
// a file. A link to a directory counts as the directory, also one that leads back up the tree:
// callers that walk trees tell such cycles by the identity.
int AttributesOf(const std::string& directory, const std::string& name, TFileIdentity& identity,
                 int64_t& size) {
  const std::string posix = ChildPath(directory, name);
  int attr = 0;
  if (!name.empty() && name[0] == '.') attr |= faHidden;
  // A name with a backslash cannot be written as a drive path.
  if (name.find('\\') != std::string::npos) attr |= faSysFile;
  struct stat info {};
  if (stat(posix.c_str(), &info) != 0) return attr | faSysFile;  // gone, or a dangling link
  identity = IdentityOf(info);
  if (S_ISDIR(info.st_mode)) {
    attr |= faDirectory;
  } else {
    size = info.st_size;
    attr |= S_ISREG(info.st_mode) ? faArchive : faSysFile;
  }
  if ((info.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  return attr;
}

}  // namespace

struct TSearchState {
  struct Entry {
    std::string name;
    int attr;
    int64_t size;
    TFileIdentity identity;
  };
  std::vector<Entry> entries;
  size_t next = 0;
};

namespace {

int TakeNext(TSearchRec& rec) {
  TSearchState& state = *rec.State;
  if (state.next >= state.entries.size()) return kNoMoreFiles;
  const TSearchState::Entry& entry = state.entries[state.next++];
  rec.Name = entry.name;
  rec.Attr = entry.attr;
  rec.Size = entry.size;
  rec.Identity = entry.identity;
  return 0;
}

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& rec) {
  rec.State.reset();
  const std::string full = ExpandFileName(path);
  if (full.empty()) return kPathNotFound;
  if (UpperLetter(full[0]) != 'C') return kNotReady;
  // The pattern is the last component; a path ending in a separator asks for everything.
  const size_t cut = full.find_last_of("\\/");
  std::string pattern = full.substr(cut + 1);
  if (pattern.empty()) pattern = "*.*";
  std::string directory;
  if (!DrivePathToPosix(full.substr(0, cut + 1), directory)) return kNotReady;
  DIR* dir = opendir(directory.c_str());
  if (!dir) return kPathNotFound;
  const int excluded = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  auto state = std::make_shared<TSearchState>();
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!MatchesPattern(name, pattern)) continue;
    TFileIdentity identity;
    int64_t size = 0;
    const int entryAttr = AttributesOf(directory, name, identity, size);
    if ((entryAttr & excluded) != 0) continue;
    state->entries.push_back({name, entryAttr, size, identity});
  }
  closedir(dir);
  if (state->entries.empty()) return kFileNotFound;
  rec.State = state;
  return TakeNext(rec);
}

int FindNext(TSearchRec& rec) {
  if (!rec.State) return kNoMoreFiles;
  return TakeNext(rec);
}

void FindClose(TSearchRec& rec) {
  rec.State.reset();
}

std::string PosixToDrivePath(const std::string& posix) {
  return JoinDrivePath('C', SplitComponents(posix));
}

bool GetFileIdentity(const std::string& path, TFileIdentity& identity) {
  std::string posix;
  if (!DrivePathToPosix(ExpandFileName(path), posix)) return false;
  struct stat info {};
  if (stat(posix.c_str(), &info) != 0) return false;
  identity = IdentityOf(info);
  return true;
}

std::string DiskSpelling(const std::string& name) {
  const std::string full = ExpandFileName(name);
  std::string posix;
  if (!DrivePathToPosix(full, posix)) return full;
  std::string spelled = PosixToDrivePath(posix);
  if (IsSeparator(full.back()) && spelled.size() > 3) spelled += '\\';
  return spelled;
}

bool DrivePathToPosix(const std::string& path, std::string& posix) {
  if (!HasDrive(path) || UpperLetter(path[0]) != 'C') return false;
  if (path.size() > 2 && !IsSeparator(path[2])) return false;
  if (path.find('\0') != std::string::npos) return false;
  posix = ResolveComponents(Normalize(SplitComponents(path.substr(2))));
  return true;
}

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  const std::string text = GetCurrentDir();
  if (text.empty()) return 0;
  if (text.size() + 1 > size || buffer == nullptr) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = '\0';
  return static_cast<DWORD>(text.size());
}

std::string GetCurrentDir() {
  std::error_code error;
  const std::filesystem::path posix = std::filesystem::current_path(error);
  return error ? "" : PosixToDrivePath(posix.string());
}

bool SetCurrentDir(const std::string& path) {
  if (path.empty()) return false;
  std::string posix;
  if (!DrivePathToPosix(ExpandFileName(path), posix)) return false;
  return chdir(posix.c_str()) == 0;
}

bool SetCurrentDrive(int drive) {
  // Drive C is always the current drive; every other one has no medium.
  return drive == 2;
}

std::string ExpandFileName(const std::string& name) {
  if (name.empty()) return "";
  if (name.find('\0') != std::string::npos) return "";
  std::string current = GetCurrentDir();
  if (current.empty()) current = "C:\\";
  char drive = current[0];
  std::string base;  // components the name is relative to
  std::string rest = name;
  if (HasDrive(name)) {
    drive = name[0];
    rest = name.substr(2);
    // Only drive C has a current directory other than its root.
    base = UpperLetter(drive) == UpperLetter(current[0]) ? current.substr(2) : "\\";
  } else {
    base = current.substr(2);
  }
  std::vector<std::string> parts;
  if (rest.empty() || !IsSeparator(rest[0])) parts = SplitComponents(base);
  for (const std::string& part : SplitComponents(rest)) parts.push_back(part);
  std::string result = JoinDrivePath(drive, Normalize(parts));
  if (!rest.empty() && IsSeparator(rest.back()) && result.size() > 3) result += '\\';
  return result;
}

std::string AnsiUpperCase(const std::string& text) {
  return QLocale::system().toUpper(ToQString(text)).toStdString();
}

std::string AnsiLowerCaseFileName(const std::string& name) {
  return QLocale::system().toLower(ToQString(name)).toStdString();
}

std::string AnsiUpperCaseFileName(const std::string& name) {
  return AnsiUpperCase(name);
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  thread_local QCollator collator = [] {
    QCollator c(QLocale::system());
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return collator.compare(ToQString(a), ToQString(b));
}
