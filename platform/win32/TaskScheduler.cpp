#include "platform/win32/TaskScheduler.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstdio>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"

namespace tamrisk::win32 {
namespace {

// Owns a BSTR.
class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(std::string_view utf8) {
    const std::wstring wide = Wide(utf8);
    value_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!value_) throw TaskSchedulerError(ComErrorText(E_OUTOFMEMORY));
  }
  ~UniqueBstr() { ::SysFreeString(value_); }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;

  BSTR get() const { return value_; }
  BSTR* put() {
    ::SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  std::string Text() const { return value_ ? Utf8(std::wstring_view(value_, ::SysStringLen(value_))) : std::string(); }

 private:
  BSTR value_ = nullptr;
};

// Owns a VARIANT; empty, it stands for a parameter left out.
class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&value_); }
  // A string; VariantClear frees it.
  explicit UniqueVariant(const wchar_t* text) : UniqueVariant() {
    value_.vt = VT_BSTR;
    value_.bstrVal = ::SysAllocString(text);
  }
  ~UniqueVariant() { ::VariantClear(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

// Throws unless COM is up on this thread. A thread already in the other apartment kind keeps it: the
// scheduler's objects work in both.
void CheckApartment(const ComApartment& com) {
  if (FAILED(com.Result()) && com.Result() != RPC_E_CHANGED_MODE) throw TaskSchedulerError(ComErrorText(com.Result()));
}

void Check(HRESULT result) {
  if (FAILED(result)) throw TaskSchedulerError(ComErrorText(result));
}

// What the scheduler answers for a task or folder that is not there.
bool IsMissing(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The scheduler's class object, from its library in the system folder: by full path, not through the
// class's registry entry, which a per-user key may point elsewhere. The library stays loaded for the
// rest of the process, as COM would keep it.
HRESULT SchedulerClassObject(REFIID interfaceId, void** object) {
  static const HMODULE library = ::LoadLibraryExW(SystemFolderFile(L"taskschd.dll").c_str(), nullptr, 0);
  if (!library) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  const auto getClassObject =
      reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void*>(::GetProcAddress(library, "DllGetClassObject")));
  if (!getClassObject) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  return getClassObject(CLSID_TaskScheduler, interfaceId, object);
}

// The scheduler service on this computer and its root folder, for the length of one call.
class RootFolder {
 public:
  RootFolder() {
    CheckApartment(com_);
    ComPtr<IClassFactory> factory;
    Check(SchedulerClassObject(IID_IClassFactory, factory.put_void()));
    Check(factory->CreateInstance(nullptr, IID_ITaskService, service_.put_void()));
    const UniqueVariant none;
    Check(service_->Connect(none.get(), none.get(), none.get(), none.get()));
    Check(service_->GetFolder(UniqueBstr("\\").get(), folder_.put()));
  }
  ITaskFolder* operator->() const { return folder_.get(); }

 private:
  ComApartment com_;  // first in, last out: the objects below are released while COM is still up
  ComPtr<ITaskService> service_;
  ComPtr<ITaskFolder> folder_;
};

}  // namespace

std::string ComErrorText(long result) {
  std::string text = FormattedMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<unsigned long>(result));
  // The scheduler's own results (SCHED_E_...) are described in its library's message table.
  if (HMODULE library = ::GetModuleHandleW(L"taskschd.dll"); text.empty() && library) {
    text = FormattedMessage(FORMAT_MESSAGE_FROM_HMODULE, library, static_cast<unsigned long>(result));
  }
  if (!text.empty()) return text;
  char code[32];
  std::snprintf(code, sizeof code, "Error 0x%08lX.", static_cast<unsigned long>(result));
  return code;
}

std::optional<std::string> Win32TaskScheduler::ReadTask(const std::string& name) {
  RootFolder root;
  ComPtr<IRegisteredTask> task;
  const HRESULT found = root->GetTask(UniqueBstr(name).get(), task.put());
  if (IsMissing(found)) return std::nullopt;
  Check(found);
  UniqueBstr xml;
  Check(task->get_Xml(xml.put()));
  return xml.Text();
}

void Win32TaskScheduler::RegisterTask(const std::string& name, const std::string& xml, TaskLogon logon) {
  RootFolder root;
  const UniqueVariant none;
  ComPtr<IRegisteredTask> task;
  if (logon == TaskLogon::ServiceAccount) {
    // The local system account by name: it has no password, and runs the task without any logon.
    const UniqueVariant system(L"SYSTEM");
    Check(root->RegisterTask(UniqueBstr(name).get(), UniqueBstr(xml).get(), TASK_CREATE_OR_UPDATE, system.get(),
                             none.get(), TASK_LOGON_SERVICE_ACCOUNT, none.get(), task.put()));
    return;
  }
  Check(root->RegisterTask(UniqueBstr(name).get(), UniqueBstr(xml).get(), TASK_CREATE_OR_UPDATE, none.get(), none.get(),
                           TASK_LOGON_INTERACTIVE_TOKEN, none.get(), task.put()));
}

void Win32TaskScheduler::DeleteTask(const std::string& name) {
  RootFolder root;
  const HRESULT deleted = root->DeleteTask(UniqueBstr(name).get(), 0);
  if (!IsMissing(deleted)) Check(deleted);
}

}  // namespace tamrisk::win32
