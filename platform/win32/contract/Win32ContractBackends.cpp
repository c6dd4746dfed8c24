// The contract environment under Wine: the real registry and drive C:, with a scratch key and folder
// unique to the running test.
#include <windows.h>

#include <aclapi.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/contract/ContractBackends.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32System.h"
#include "testkit/WinFixture.h"

namespace tamrisk {
namespace {

class Win32ContractEnvironment final : public ContractEnvironment {
 public:
  Win32ContractEnvironment()
      : key_("Software\\TamriskContract\\" + test::UniqueName("c")), folder_(test::FreshFolder(test::UniqueName("c"))) {
    test::DeleteKeyTree(RootKey::CurrentUser, key_);
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, win32::Wide(key_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &created, nullptr) == ERROR_SUCCESS) {
      ::RegCloseKey(created);
    }
  }
  ~Win32ContractEnvironment() override {
    if (writer_.joinable()) {
      // A writer still waiting for its reader is let go by one that comes and goes.
      {
        const win32::UniqueHandle reader(
            ::CreateFileW(win32::Wide(pipeName_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      }
      writer_.join();
    }
    for (const std::string& closed : closed_) SetFolderDacl(closed, nullptr);
    test::DeleteKeyTree(RootKey::CurrentUser, key_);
    test::RemoveFolder(folder_);
  }

  RegistryBackend& Registry() override { return system_.registry; }
  FileSystem& Files() override { return system_.files; }
  SystemInfo& System() override { return system_.system; }
  IniFile& Ini() override { return system_.ini; }
  std::string ScratchKey() override { return key_; }
  std::string ScratchFolder() override { return folder_; }
  // Wine does not enforce registry access control lists.
  bool CanDenyRights() override { return false; }
  // A list that denies everyone listing and passing through the folder; where asking about a name in
  // it still gets an answer other than access denied, the system does not enforce it.
  bool CloseFolder(const std::string& folder) override {
    EXPLICIT_ACCESS_W deny{};
    wchar_t everyone[] = L"EVERYONE";
    ::BuildExplicitAccessWithNameW(&deny, everyone, FILE_LIST_DIRECTORY | FILE_TRAVERSE, DENY_ACCESS,
                                   SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    PACL acl = nullptr;
    if (::SetEntriesInAclW(1, &deny, nullptr, &acl) != ERROR_SUCCESS) return false;
    const bool set = SetFolderDacl(folder, acl);
    ::LocalFree(acl);
    if (!set) return false;
    closed_.push_back(folder);
    const bool enforced = ::GetFileAttributesW(win32::Wide(folder + "\\probe").c_str()) == INVALID_FILE_ATTRIBUTES &&
                          ::GetLastError() == ERROR_ACCESS_DENIED;
    if (!enforced) SetFolderDacl(folder, nullptr);
    return enforced;
  }
  void DenyRights(RootKey, const std::string&, std::uint32_t) override {}
  void MakeShortcut(const std::string& shortcutPath, const std::string& target) override {
    test::MakeShortcut(shortcutPath, target);
  }
  std::string FileFailingPartWay() override {
    pipeName_ = "\\\\.\\pipe\\" + test::UniqueName("tamrisk-part-way");
    win32::UniqueHandle pipe(::CreateNamedPipeW(win32::Wide(pipeName_).c_str(), PIPE_ACCESS_OUTBOUND,
                                                PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr));
    // The writer gives its reader 100 bytes, waits until they are read and goes away.
    writer_ = std::thread([pipe = std::move(pipe)] {
      if (!::ConnectNamedPipe(pipe.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) return;
      const std::string head(100, 'x');
      DWORD written = 0;
      ::WriteFile(pipe.get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
      ::FlushFileBuffers(pipe.get());
      ::DisconnectNamedPipe(pipe.get());
    });
    return pipeName_;
  }
  void SetEnvironmentVariable(const std::string& name, const std::string& value) override {
    ::SetEnvironmentVariableW(win32::Wide(name).c_str(), win32::Wide(value).c_str());
  }
  bool ValuesListInCreationOrder() override { return false; }

 private:
  // Sets the folder's own access control list; null gives it back the one it inherits.
  static bool SetFolderDacl(const std::string& folder, PACL acl) {
    std::wstring path = win32::Wide(folder);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        (acl != nullptr ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (acl != nullptr) {
      return ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr) ==
             ERROR_SUCCESS;
    }
    ACL empty{};
    ::InitializeAcl(&empty, sizeof(empty), ACL_REVISION);
    return ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, what, nullptr, nullptr, &empty, nullptr) ==
           ERROR_SUCCESS;
  }

  win32::Win32Platform system_;
  std::string key_;
  std::string folder_;
  std::string pipeName_;
  std::thread writer_;
  std::vector<std::string> closed_;
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() { return std::make_unique<Win32ContractEnvironment>(); }

}  // namespace tamrisk
