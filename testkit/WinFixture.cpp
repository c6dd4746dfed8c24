#ifdef _WIN32

#include "testkit/WinFixture.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"
#include "repair/RegFile.h"
#include "testkit/TestKit.h"

namespace tamrisk::test {
namespace {

using win32::Utf8;
using win32::Wide;

std::string Sanitized(std::string text) {
  for (char& c : text) {
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) c = '_';
  }
  return text;
}

std::string TempFile(const std::string& name) {
  wchar_t folder[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, folder);
  return Utf8(folder) + UniqueName(name);
}

}  // namespace

std::string UniqueName(const std::string& prefix) {
  std::string name = prefix;
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name += std::string("_") + info->test_suite_name() + "_" + info->name();
  }
  return Sanitized(name + "_" + std::to_string(::GetCurrentProcessId()));
}

void RemoveFolder(const std::string& path) {
  std::wstring from = Wide(path);
  from.push_back(L'\0');
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  ::SHFileOperationW(&operation);
}

std::string FreshFolder(const std::string& name) {
  ::CreateDirectoryW(L"C:\\tamrisk-tests", nullptr);
  const std::string path = "C:\\tamrisk-tests\\" + name;
  RemoveFolder(path);
  ::CreateDirectoryW(Wide(path).c_str(), nullptr);
  return path;
}

bool WriteTextFile(const std::string& path, const std::string& contents) {
  const win32::UniqueFileHandle file(
      ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
         written == contents.size();
}

std::string ReadTextFile(const std::string& path) {
  const win32::UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string contents;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) contents.append(buffer, got);
  return contents;
}

bool RunAndWait(const std::string& commandLine, unsigned long timeoutMs, unsigned long* exitCode) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = Wide(commandLine);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  win32::UniqueHandle processHandle(process.hProcess);
  win32::UniqueHandle threadHandle(process.hThread);
  if (::WaitForSingleObject(processHandle.get(), timeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(processHandle.get(), 1);
    return false;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(processHandle.get(), &code);
  if (exitCode) *exitCode = code;
  return true;
}

bool ImportReg(const std::string& regText) {
  constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
  const std::string file = TempFile("import") + ".reg";
  std::string contents;
  if (regText.rfind(kUnicodeHeader, 0) == 0) {
    contents = RegFileBytes(regText, true);
  } else {
    contents = regText.rfind("REGEDIT4", 0) == 0 ? regText : "REGEDIT4\r\n\r\n" + regText;
  }
  if (!WriteTextFile(file, contents)) return false;
  unsigned long exitCode = 1;
  const bool ok = RunAndWait("regedit /s \"" + file + "\"", 60000, &exitCode) && exitCode == 0;
  ::DeleteFileW(Wide(file).c_str());
  return ok;
}

std::string ExportKey(const std::string& fullKeyPath) {
  const std::string file = TempFile("export") + ".reg";
  if (!RunAndWait("regedit /e \"" + file + "\" \"" + fullKeyPath + "\"")) return {};
  const std::string raw = ReadTextFile(file);
  ::DeleteFileW(Wide(file).c_str());
  // The editor writes UTF-16 after a byte-order mark.
  if (raw.rfind("\xFF\xFE", 0) != 0) return raw;
  return test::Utf8OfUtf16File(raw.substr(2));
}

void DeleteKeyTree(RootKey root, const std::string& path) {
  const HKEY rootKey = ToHkey(root);
  ::RegDeleteTreeW(rootKey, Wide(path).c_str());
  ::RegDeleteKeyW(rootKey, Wide(path).c_str());
}

bool MakeShortcut(const std::string& shortcutPath, const std::string& targetPath) {
  const win32::ComApartment com;  // made first, so the objects below are released before it ends
  win32::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    return false;
  }
  link->SetPath(Wide(targetPath).c_str());
  win32::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  return SUCCEEDED(file->Save(Wide(shortcutPath).c_str(), TRUE));
}

}  // namespace tamrisk::test

#endif
