// winsim: the handle table of kernel objects (open files, searches, processes, threads) and
// CloseHandle, which closes all of them but searches.
#include <map>

#include "winsim/internal.h"

namespace winsim {
namespace {

std::map<HANDLE, detail::KernelObject>& Objects() {
  static std::map<HANDLE, detail::KernelObject> objects;
  return objects;
}
uintptr_t NextHandle = 0x100;

void ResetHandles() {
  Objects().clear();
  NextHandle = 0x100;
}
detail::ResetHook Hook(&ResetHandles);

const char* KindText(detail::ObjectKind kind) {
  switch (kind) {
    case detail::ObjectKind::File: return "file";
    case detail::ObjectKind::Search: return "search";
    case detail::ObjectKind::Process: return "process";
    case detail::ObjectKind::Thread: return "thread";
  }
  return "object";
}

}  // namespace

namespace detail {

HANDLE OpenObject(const KernelObject& object) {
  HANDLE handle = (HANDLE)NextHandle;
  NextHandle += 4;
  Objects()[handle] = object;
  return handle;
}

KernelObject* FindObject(HANDLE handle) {
  auto found = Objects().find(handle);
  return found == Objects().end() ? nullptr : &found->second;
}

void CloseObject(HANDLE handle) { Objects().erase(handle); }

std::vector<const KernelObject*> OpenObjects() {
  std::vector<const KernelObject*> objects;
  for (const auto& entry : Objects()) objects.push_back(&entry.second);
  return objects;
}

}  // namespace detail

std::vector<std::string> OpenHandles() {
  std::vector<std::string> handles;
  for (const auto& entry : Objects())
    handles.push_back(std::string(KindText(entry.second.kind)) + " " + entry.second.text);
  return handles;
}

}  // namespace winsim

using namespace winsim;

// A search handle is closed with FindClose only.
BOOL WINAPI CloseHandle(HANDLE object) {
  detail::Record("CloseHandle", detail::HandleText(object));
  detail::KernelObject* found = detail::FindObject(object);
  if (found == nullptr || found->kind == detail::ObjectKind::Search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  detail::CloseObject(object);
  return TRUE;
}
