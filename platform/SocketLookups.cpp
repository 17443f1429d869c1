// Service look-ups that do not block the caller: each runs on a thread of its own and posts its
// end to the caller's window, unless it was cancelled first.
#include "platform/SocketPosix.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace WinSock {
namespace {

struct LookupTask {
  HWND window;
  UINT msg;
  char* buffer;
  int bufferLength;
  std::mutex lock;
  bool cancelled = false;
};

std::mutex tasksLock;
uintptr_t nextTask = 1;
std::map<uintptr_t, std::shared_ptr<LookupTask>>& Tasks() {
  static auto* tasks = new std::map<uintptr_t, std::shared_ptr<LookupTask>>();
  return *tasks;
}

// Lays out a servent with its strings in the caller's buffer; returns the bytes used, or -1.
int StoreServent(const ::servent& entry, char* buffer, int bufferLength) {
  size_t used = sizeof(WinSock::servent);
  auto place = [&](const char* text) -> char* {
    const size_t length = std::strlen(text) + 1;
    if (used + length > static_cast<size_t>(bufferLength)) return nullptr;
    char* target = buffer + used;
    std::memcpy(target, text, length);
    used += length;
    return target;
  };
  if (static_cast<size_t>(bufferLength) < used + 2 * sizeof(char*)) return -1;
  auto* result = reinterpret_cast<WinSock::servent*>(buffer);
  // The alias list (empty) goes right behind the record, where it is aligned.
  auto** aliases = reinterpret_cast<char**>(buffer + used);
  aliases[0] = nullptr;
  used += sizeof(char*);
  result->s_aliases = aliases;
  result->s_name = place(entry.s_name);
  result->s_proto = place(entry.s_proto);
  if (!result->s_name || !result->s_proto) return -1;
  result->s_port = static_cast<int16_t>(entry.s_port);
  return static_cast<int>(used);
}

void RunLookup(uintptr_t id, std::shared_ptr<LookupTask> task, std::string name,
               std::string proto) {
  ::servent entry{};
  ::servent* found = nullptr;
  std::vector<char> scratch(4096);
  const int failed = ::getservbyname_r(name.c_str(), proto.c_str(), &entry, scratch.data(),
                                       scratch.size(), &found);
  {
    std::lock_guard<std::mutex> guard(task->lock);
    if (!task->cancelled) {
      int length = 0;
      int code = 0;
      if (failed != 0 || !found) {
        code = WSANO_DATA;
      } else {
        length = StoreServent(entry, task->buffer, task->bufferLength);
        if (length < 0) {
          code = WSAENOBUFS;
          length = 0;
        }
      }
      PostMessage(task->window, task->msg, static_cast<WPARAM>(id),
                  MakeLParam(static_cast<WORD>(length), static_cast<WORD>(code)));
    }
  }
  std::lock_guard<std::mutex> guard(tasksLock);
  Tasks().erase(id);
}

}  // namespace

HANDLE WSAAsyncGetServByName(HWND window, UINT msg, const char* name, const char* proto,
                             char* buffer, int bufferLength) {
  if (!LibraryStarted()) {
    SetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  if (!name || !buffer || bufferLength <= 0) {
    SetLastError(WSAEFAULT);
    return nullptr;
  }
  auto task = std::make_shared<LookupTask>(window, msg, buffer, bufferLength);
  uintptr_t id = 0;
  {
    std::lock_guard<std::mutex> guard(tasksLock);
    id = nextTask++;
    Tasks()[id] = task;
  }
  try {
    std::thread(RunLookup, id, task, std::string(name), std::string(proto ? proto : "tcp"))
        .detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> guard(tasksLock);
    Tasks().erase(id);
    SetLastError(WSAENOBUFS);
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(id);
}

int WSACancelAsyncRequest(HANDLE taskHandle) {
  const auto id = reinterpret_cast<uintptr_t>(taskHandle);
  std::shared_ptr<LookupTask> task;
  {
    std::lock_guard<std::mutex> guard(tasksLock);
    if (id == 0 || id >= nextTask) return Fail(WSAEINVAL);
    auto it = Tasks().find(id);
    // A task that has ended has nothing left to cancel; its message, if still waiting, is the
    // caller's to ignore.
    if (it == Tasks().end()) return 0;
    task = it->second;
  }
  std::lock_guard<std::mutex> guard(task->lock);
  task->cancelled = true;
  return 0;
}

}  // namespace WinSock
