#include "platform/win32/Win32System.h"

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>

#include "platform/win32/Handles.h"

namespace tamrisk::win32 {
namespace {

LocalDateTime ToLocal(const FILETIME& utc) {
  FILETIME local{};
  SYSTEMTIME st{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st)) return {};
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

void SetError(std::string* error, DWORD code) {
  if (error) *error = SystemMessage(code);
}

bool WriteAll(HANDLE file, std::string_view contents, std::string* error) {
  std::size_t done = 0;
  while (done < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0) {
      SetError(error, ::GetLastError());
      return false;
    }
    done += written;
  }
  return true;
}

UniqueHandle OpenForWriting(const std::string& path, std::string* error, bool append) {
  UniqueHandle file(::CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    SetError(error, ::GetLastError());
    file.release();
  }
  return file;
}

bool WriteWithDisposition(const std::string& path, std::string_view contents, std::string* error, bool append) {
  UniqueHandle file = OpenForWriting(path, error, append);
  return file && WriteAll(file.get(), contents, error);
}

// WriteFile hands each append to the system at once; there is no buffer of ours to lose.
class HandleAppendStream final : public AppendStream {
 public:
  explicit HandleAppendStream(UniqueHandle file) : file_(std::move(file)) {}
  bool Append(std::string_view contents, std::string* error) override { return WriteAll(file_.get(), contents, error); }

 private:
  UniqueHandle file_;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  RECT box{};
  ::GetWindowRect(dialog, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  ::SetWindowPos(dialog, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const auto* start = reinterpret_cast<const std::string*>(data);
  if (start && !start->empty()) ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start->c_str()));
  return 0;
}

}  // namespace

std::string SystemMessage(unsigned long code) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length && text ? std::string(text, length) : "System error " + std::to_string(code) + ".";
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

bool Win32FileSystem::PathIsFile(const std::string& path) {
  // Without wildcards GetFileAttributesA gives the same answer an order of magnitude faster (a find
  // handle costs a directory read); the class ID scan tests thousands of server paths. Errors other
  // than "not found" (a file in use, say) still go to FindFirstFileA.
  if (path.find_first_of("*?<>\"") == std::string::npos) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  }
  WIN32_FIND_DATAA data{};
  UniqueFindHandle find(::FindFirstFileA(path.c_str(), &data));
  if (!find) return false;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::PathIsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint32_t> Win32FileSystem::Attributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

bool Win32FileSystem::MakeFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

std::vector<FileEntry> Win32FileSystem::ListFolder(const std::string& mask) {
  std::vector<FileEntry> entries;
  WIN32_FIND_DATAA data{};
  UniqueFindHandle find(::FindFirstFileA(mask.c_str(), &data));
  if (!find) return entries;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    FileEntry entry;
    entry.name = name;
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.lastWrite = ToLocal(data.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (::FindNextFileA(find.get(), &data));
  return entries;
}

unsigned Win32FileSystem::DriveType(char letter) {
  const char root[] = {letter, ':', '\\', '\0'};
  return ::GetDriveTypeA(root);
}

bool Win32FileSystem::ShellDelete(const std::string& path, bool toRecycleBin) {
  std::string from = path;
  from.push_back('\0');  // the list ends with two NULs; c_str() adds the second
  SHFILEOPSTRUCTA operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | (toRecycleBin ? FOF_ALLOWUNDO : 0);
  return ::SHFileOperationA(&operation) == 0;
}

std::string Win32FileSystem::ShortcutTarget(const std::string& shortcutPath) {
  // Deliberately never uninitialised on this thread. Without COM no object can be made: that is a
  // failed initialisation, which gives an empty target rather than an error.
  const HRESULT init = ::CoInitialize(nullptr);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return {};  // a multithreaded apartment still works
  ComPtr<IShellLinkA> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void()))) {
    throw std::runtime_error("Cannot create the shell link object");
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) {
    throw std::runtime_error("Cannot get the shell link's file interface");
  }
  const int length = ::MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide.data(), length);
  if (FAILED(file->Load(wide.c_str(), STGM_READ))) return {};
  char target[MAX_PATH + 1] = {};
  if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return {};
  return target;
}

bool Win32FileSystem::ReadFile(const std::string& path, std::string& contents, std::string* error) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    SetError(error, ::GetLastError());
    file.release();
    return false;
  }
  contents.clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) contents.append(buffer, got);
  return true;
}

bool Win32FileSystem::WriteFile(const std::string& path, std::string_view contents, std::string* error) {
  return WriteWithDisposition(path, contents, error, false);
}

bool Win32FileSystem::AppendFile(const std::string& path, std::string_view contents, std::string* error) {
  return WriteWithDisposition(path, contents, error, true);
}

std::unique_ptr<AppendStream> Win32FileSystem::OpenForAppend(const std::string& path, std::string* error) {
  UniqueHandle file = OpenForWriting(path, error, true);
  if (!file) return nullptr;
  return std::make_unique<HandleAppendStream>(std::move(file));
}

PathKind Win32FileSystem::KindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
  }
  const DWORD error = ::GetLastError();
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? PathKind::Nothing : PathKind::Unknown;
}

std::optional<std::string> Win32SystemInfo::ExpandEnvironment(const std::string& text, std::size_t bufferSize) {
  std::string buffer(bufferSize, '\0');
  const DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(bufferSize));
  if (needed == 0 || needed > bufferSize) return std::nullopt;
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

std::string Win32SystemInfo::SpecialFolder(int csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return {};
  char path[MAX_PATH] = {};
  const BOOL ok = ::SHGetPathFromIDListA(items, path);
  ::CoTaskMemFree(items);
  return ok ? std::string(path) : std::string();
}

VersionInfo Win32SystemInfo::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExA(&info)) return {};
  return {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

std::string Win32SystemInfo::CurrentUserSid() {
  HANDLE rawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
  UniqueHandle token(rawToken);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  std::string sid = text;
  ::LocalFree(text);
  return sid;
}

std::string Win32SystemInfo::ExecutableFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of('\\') + 1);
}

LocalDateTime Win32SystemInfo::Now() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Win32IniFile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                     const std::string& fallback, std::size_t maxChars) {
  std::string buffer(maxChars + 1, '\0');
  const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), file.c_str());
  buffer.resize(length);
  return buffer;
}

bool Win32IniFile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

bool Win32Shell::Open(std::uintptr_t owner, const std::string& file, const std::string& parameters,
                      const std::string& directory, int show) {
  const HINSTANCE result =
      ::ShellExecuteA(reinterpret_cast<HWND>(owner), "Open", file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(),
                      directory.empty() ? nullptr : directory.c_str(), show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Win32Shell::StartHidden(const std::string& commandLine, ProcessInfo& info) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;  // CreateProcessA may write into the command line
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
    info = {};
    return false;
  }
  info.process = reinterpret_cast<std::uintptr_t>(process.hProcess);
  info.thread = reinterpret_cast<std::uintptr_t>(process.hThread);
  info.processId = process.dwProcessId;
  info.threadId = process.dwThreadId;
  return true;
}

bool Win32Shell::HasEnded(const ProcessInfo& info) {
  return info.process != 0 && ::WaitForSingleObject(reinterpret_cast<HANDLE>(info.process), 0) == WAIT_OBJECT_0;
}

void Win32Shell::Terminate(const ProcessInfo& info) {
  if (info.process != 0) ::TerminateProcess(reinterpret_cast<HANDLE>(info.process), 0);
}

void Win32Shell::Release(ProcessInfo& info) {
  if (info.process != 0) ::CloseHandle(reinterpret_cast<HANDLE>(info.process));
  if (info.thread != 0) ::CloseHandle(reinterpret_cast<HANDLE>(info.thread));
  info = {};
}

std::optional<std::string> Win32Shell::PickFolder(std::uintptr_t owner, const std::string& title,
                                                  const std::string& startPath) {
  std::string start = startPath;
  const DWORD attributes = ::GetFileAttributesA(start.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) start.clear();

  char display[MAX_PATH] = {};
  BROWSEINFOA browse{};
  browse.hwndOwner = reinterpret_cast<HWND>(owner);
  browse.pszDisplayName = display;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(&start);

  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  const HRESULT init = ::CoInitialize(nullptr);
  LPITEMIDLIST items = ::SHBrowseForFolderA(&browse);
  ::SetErrorMode(oldMode);
  std::optional<std::string> chosen;
  if (items) {
    char path[MAX_PATH] = {};
    if (::SHGetPathFromIDListA(items, path)) chosen = path;
    ::CoTaskMemFree(items);
  }
  if (SUCCEEDED(init)) ::CoUninitialize();
  return chosen;
}

}  // namespace tamrisk::win32
