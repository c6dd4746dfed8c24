#ifdef _WIN32

#include "testkit/WinFixture.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/win32/Handles.h"

namespace tamrisk::test {
namespace {

std::string Sanitized(std::string text) {
  for (char& c : text) {
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_')) c = '_';
  }
  return text;
}

std::string TempFile(const std::string& name) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + UniqueName(name);
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
  std::string from = path;
  from.push_back('\0');
  SHFILEOPSTRUCTA operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  ::SHFileOperationA(&operation);
}

std::string FreshFolder(const std::string& name) {
  ::CreateDirectoryA("C:\\tamrisk-tests", nullptr);
  const std::string path = "C:\\tamrisk-tests\\" + name;
  RemoveFolder(path);
  ::CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

bool WriteTextFile(const std::string& path, const std::string& contents) {
  win32::UniqueHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  DWORD written = 0;
  return ::WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
         written == contents.size();
}

std::string ReadTextFile(const std::string& path) {
  win32::UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return {};
  }
  std::string contents;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) contents.append(buffer, got);
  return contents;
}

bool RunAndWait(const std::string& commandLine, unsigned long timeoutMs, unsigned long* exitCode) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
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
  const std::string file = TempFile("import") + ".reg";
  const std::string text = regText.rfind("REGEDIT4", 0) == 0 ? regText : "REGEDIT4\r\n\r\n" + regText;
  if (!WriteTextFile(file, text)) return false;
  const bool ok = RunAndWait("regedit /s \"" + file + "\"");
  ::DeleteFileA(file.c_str());
  return ok;
}

std::string ExportKey(const std::string& fullKeyPath) {
  const std::string file = TempFile("export") + ".reg";
  if (!RunAndWait("regedit /e \"" + file + "\" \"" + fullKeyPath + "\"")) return {};
  const std::string raw = ReadTextFile(file);
  ::DeleteFileA(file.c_str());
  // The editor writes UTF-16 with a byte-order mark.
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
    const auto* wide = reinterpret_cast<const wchar_t*>(raw.data() + 2);
    const int count = static_cast<int>((raw.size() - 2) / 2);
    const int length = ::WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, count, ansi.data(), length, nullptr, nullptr);
    return ansi;
  }
  return raw;
}

void DeleteKeyTree(RootKey root, const std::string& path) {
  ::RegDeleteTreeA(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(root)), path.c_str());
  ::RegDeleteKeyA(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(root)), path.c_str());
}

bool MakeShortcut(const std::string& shortcutPath, const std::string& targetPath) {
  ::CoInitialize(nullptr);
  win32::ComPtr<IShellLinkA> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void()))) {
    return false;
  }
  link->SetPath(targetPath.c_str());
  win32::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  std::wstring wide(shortcutPath.begin(), shortcutPath.end());
  return SUCCEEDED(file->Save(wide.c_str(), TRUE));
}

}  // namespace tamrisk::test

#endif
