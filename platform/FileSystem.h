#pragma once
// File and directory services in the drive-and-backslash form the program is written against.
//
// The POSIX tree is presented as drive C: the root "/" is "C:\", so "c:\home\ann" is /home/ann.
// Every other letter is a drive with no medium: nothing can be found on it and it cannot be
// made current. Paths are resolved one component at a time; a component with no exact match is
// matched case-insensitively, since callers may have forced names to one case while the names
// on disk keep theirs. "." and ".." are taken apart lexically before anything is looked up, so
// a path never leads above the root of its drive.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/WinTypes.h"

// File attributes as directory searches report them.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;   // the name begins with "."
constexpr int faSysFile = 0x04;  // not a plain file or directory, or not presentable here
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

struct TSearchState;

// What a directory entry is on disk, links followed: two names with the same identity are one
// file or directory, however they are reached.
struct TFileIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

struct TSearchRec {
  std::string Name;
  int Attr = 0;
  int64_t Size = 0;
  TFileIdentity Identity;
  std::shared_ptr<TSearchState> State;  // the search in progress; FindClose releases it
};

// Starts a search for the entries matching the last component of path ("*" and "?" as
// wildcards, "*.*" for all). Entries with the hidden, system, volume-label or directory
// attribute are left out unless attr names that attribute. Returns 0 and fills rec with the
// first entry, or a Windows error number (2 nothing found, 3 no such directory, 21 drive not
// ready).
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
// The next entry of the search: 0, or 18 (no more files) at the end.
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// The process's current directory, "C:\..." ("C:\" for the root); written into buffer of size
// bytes with a terminating zero. Returns the length written without the zero; when the buffer is
// too small, the size needed including the zero; 0 on failure.
DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
// The same as a string; empty on failure.
std::string GetCurrentDir();
// Makes a directory (absolute or relative) the current one; false when that is not possible.
bool SetCurrentDir(const std::string& path);
// Makes a drive (0 = A, 2 = C) the current one; the process stays in its directory on drive C.
// False for a drive that cannot be made current.
bool SetCurrentDrive(int drive);

// The full drive path of a file name: relative names are taken against the current directory
// (or, for "x:name", against the current directory of drive x); "." and ".." are resolved; a
// trailing backslash is kept. Forward slashes count as backslashes.
std::string ExpandFileName(const std::string& name);

// The identity of what a path (absolute or relative) leads to, links followed; false when it
// leads nowhere.
bool GetFileIdentity(const std::string& path, TFileIdentity& identity);
// A path as the names on disk spell it: the full drive path of name with every component that
// exists written in its stored case ("c:\HOME\ann" may be "C:\home\ann"). Components that do not
// exist, and paths on drives other than C, keep the case they were given in.
std::string DiskSpelling(const std::string& name);

// The POSIX path that a full drive path stands for, with components matched case-insensitively
// where no exact match exists. False for a path on a drive other than C or that is not a full
// drive path.
bool DrivePathToPosix(const std::string& path, std::string& posix);
// The drive path of an absolute POSIX path.
std::string PosixToDrivePath(const std::string& posix);

// The locale's case mappings of file names and texts.
std::string AnsiLowerCaseFileName(const std::string& name);
std::string AnsiUpperCaseFileName(const std::string& name);
std::string AnsiUpperCase(const std::string& text);
// Case-insensitive comparison in the user's locale: negative, zero or positive.
int AnsiCompareText(const std::string& a, const std::string& b);
