#include "platform/win32/Win32System.h"

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <optional>
#include <stdexcept>

#include "platform/win32/Handles.h"
#include "platform/win32/Wide.h"

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

UniqueFileHandle OpenForWriting(const std::string& path, std::string* error, bool append) {
  UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) SetError(error, ::GetLastError());
  return file;
}

bool WriteWithDisposition(const std::string& path, std::string_view contents, std::string* error, bool append) {
  UniqueFileHandle file = OpenForWriting(path, error, append);
  if (!file) return false;
  if (WriteAll(file.get(), contents, error)) return true;
  if (!append) {
    // A whole file cut short (a full disk) must not stay behind looking complete.
    file.reset();
    ::DeleteFileW(Wide(path).c_str());
  }
  return false;
}

// WriteFile hands each append to the system at once; there is no buffer of ours to lose.
class HandleAppendStream final : public AppendStream {
 public:
  explicit HandleAppendStream(UniqueFileHandle file) : file_(std::move(file)) {}
  bool Append(std::string_view contents, std::string* error) override {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &start, FILE_CURRENT)) {
      SetError(error, ::GetLastError());
      return false;
    }
    if (WriteAll(file_.get(), contents, error)) return true;
    // A tail cut short would make the whole file unreadable as a backup, what was there before included.
    if (::SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) ::SetEndOfFile(file_.get());
    return false;
  }
  bool Flush(std::string* error) override {
    if (::FlushFileBuffers(file_.get())) return true;
    SetError(error, ::GetLastError());
    return false;
  }

 private:
  UniqueFileHandle file_;
};

// The longest path the wide functions take ("\\?\" form), in characters with the NUL.
constexpr DWORD kLongestPath = 32768;

// Whether the ANSI code page holds the text exactly.
bool FitsCodePage(const std::wstring& text) {
  if (text.empty()) return true;
  BOOL lost = FALSE;
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), length, nullptr, 0, nullptr, &lost);
  return needed > 0 && !lost;
}

// The file opened for reading, with the others allowed share; empty (with error) when it cannot be.
UniqueFileHandle OpenForReading(const std::string& path, DWORD share, std::string* error) {
  UniqueFileHandle file(
      ::CreateFileW(Wide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) SetError(error, ::GetLastError());
  return file;
}

// The rest of the file, or the system's error code: a read that fails part-way must not pass for the
// whole file (a restore check would pass on part of a backup, an ini conversion would lose the rest).
DWORD ReadAll(HANDLE file, std::string& contents) {
  contents.clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      contents.clear();
      return error != ERROR_SUCCESS ? error : ERROR_READ_FAULT;
    }
    if (got == 0) return ERROR_SUCCESS;
    contents.append(buffer, got);
  }
}

// The whole file, or the system's error code of the open or the read that failed.
DWORD ReadWhole(const std::string& path, std::string& contents) {
  contents.clear();
  const UniqueFileHandle file = OpenForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr);
  if (!file) return ::GetLastError();
  return ReadAll(file.get(), contents);
}

// Replaces a file by writing a sibling and moving it over the original, so a write that fails
// part-way (a full disk) leaves the original as it was. The sibling reaches the disk before the move:
// a power loss just after it must not leave an empty file where the settings were.
bool ReplaceWhole(const std::string& path, std::string_view contents) {
  const std::string fresh = path + ".tamrisk-new";
  bool written = false;
  if (UniqueFileHandle file = OpenForWriting(fresh, nullptr, false)) {
    written = WriteAll(file.get(), contents, nullptr) && ::FlushFileBuffers(file.get());
  }
  if (written &&
      ::MoveFileExW(Wide(fresh).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  ::DeleteFileW(Wide(fresh).c_str());
  return false;
}

class HandleFileHold final : public FileHold {
 public:
  explicit HandleFileHold(UniqueFileHandle file) : file_(std::move(file)) {}

 private:
  UniqueFileHandle file_;
};

// The profile functions keep an ini file in the encoding it has: ANSI unless it begins with a UTF-16LE
// byte-order mark. A file that must take text outside the code page is rewritten once as UTF-16LE,
// its ANSI text converted, so nothing in it turns into "?". False when the file exists but cannot be
// read or rewritten whole: it is left alone, and the write that needed the conversion fails.
bool MakeUnicodeFile(const std::string& path) {
  std::string contents;
  const DWORD read = ReadWhole(path, contents);
  // A missing file is made by the write, in UTF-16LE from the start.
  if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) return false;
  if (contents.rfind("\xFF\xFE", 0) == 0) return true;  // UTF-16LE already
  std::wstring text(contents.size() + 1, L'\xFEFF');
  const int length = contents.empty()
                         ? 0
                         : ::MultiByteToWideChar(CP_ACP, 0, contents.data(), static_cast<int>(contents.size()),
                                                 text.data() + 1, static_cast<int>(contents.size()));
  if (!contents.empty() && length <= 0) return false;
  text.resize(1 + static_cast<std::size_t>(length > 0 ? length : 0));
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return read == ERROR_FILE_NOT_FOUND ? WriteWithDisposition(path, bytes, nullptr, false) : ReplaceWhole(path, bytes);
}

// The path of an item ID list the caller hands over (freed here); nullopt when there is none or it
// names no file-system object.
std::optional<std::wstring> PathOfItems(LPITEMIDLIST items) {
  const UniqueCoTaskMemory owned(items);
  wchar_t path[MAX_PATH] = {};
  if (!items || !::SHGetPathFromIDListW(items, path)) return std::nullopt;
  return std::wstring(path);
}

// The target path of a link's item ID list, "" when it has none or names no file-system object.
std::wstring ItemListPath(IShellLinkW* link) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(link->GetIDList(&items))) return {};
  return PathOfItems(items).value_or(L"");
}

// Whether exact is lossy with the characters a code page lost restored: the same length, and the
// same character wherever exact holds ASCII.
bool SameBesidesLostCharacters(const std::wstring& lossy, const std::wstring& exact) {
  if (lossy.size() != exact.size()) return false;
  for (std::size_t i = 0; i < exact.size(); ++i) {
    if (exact[i] < 0x80 && exact[i] != lossy[i]) return false;
  }
  return true;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  RECT box{};
  ::GetWindowRect(dialog, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  ::SetWindowPos(dialog, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const auto* start = reinterpret_cast<const std::wstring*>(data);
  if (start && !start->empty())
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->c_str()));
  return 0;
}

}  // namespace

std::string FormattedMessage(unsigned long source, void* module, unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source, module,
                                        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const UniqueLocalMemory owned(text);
  std::string message = length && text ? Utf8(std::wstring_view(text, length)) : std::string();
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

std::string SystemMessage(unsigned long code) {
  const std::string message = FormattedMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
  return message.empty() ? "System error " + std::to_string(code) + "." : message;
}

std::wstring SystemFolderFile(std::wstring_view name) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  return path.append(name);
}

bool Win32FileSystem::PathIsFile(const std::string& path) {
  // Without wildcards GetFileAttributesW gives the same answer an order of magnitude faster (a find
  // handle costs a directory read); the class ID scan tests thousands of server paths. Errors other
  // than "not found" (a file in use, say) still go to FindFirstFileW.
  const std::wstring wide = Wide(path);
  if (path.find_first_of("*?<>\"") == std::string::npos) {
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  }
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW(wide.c_str(), &data));
  if (!find) return false;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::PathIsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint32_t> Win32FileSystem::Attributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

bool Win32FileSystem::MakeFolder(const std::string& path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
}

std::vector<FileEntry> Win32FileSystem::ListFolder(const std::string& mask) {
  std::vector<FileEntry> entries;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW(Wide(mask).c_str(), &data));
  if (!find) return entries;
  do {
    const std::string name = Utf8(data.cFileName);
    if (name == "." || name == "..") continue;
    FileEntry entry;
    entry.name = name;
    entry.attributes = data.dwFileAttributes;
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.lastWrite = ToLocal(data.ftLastWriteTime);
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  return entries;
}

unsigned Win32FileSystem::DriveType(char letter) {
  const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', L'\\', L'\0'};
  return ::GetDriveTypeW(root);
}

bool Win32FileSystem::ShellDelete(const std::string& path, bool toRecycleBin) {
  std::wstring from = Wide(path);
  from.push_back(L'\0');  // the list ends with two NULs; c_str() adds the second
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  // No error box either: the callers say themselves what was not deleted, and an unattended run has
  // nobody to close one.
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | (toRecycleBin ? FOF_ALLOWUNDO : 0);
  return ::SHFileOperationW(&operation) == 0;
}

std::string Win32FileSystem::ShortcutTarget(const std::string& shortcutPath) {
  // Deliberately never uninitialised on this thread. Without COM no object can be made: that is a
  // failed initialisation, which gives an empty target rather than an error.
  const HRESULT init = ::CoInitialize(nullptr);
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return {};  // a multithreaded apartment still works
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
    throw std::runtime_error("Cannot create the shell link object");
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) {
    throw std::runtime_error("Cannot get the shell link's file interface");
  }
  if (FAILED(file->Load(Wide(shortcutPath).c_str(), STGM_READ))) return {};
  // A link may hold a target longer than MAX_PATH; the buffer takes the longest path there is.
  std::wstring target(kLongestPath, L'\0');
  if (FAILED(link->GetPath(target.data(), kLongestPath, nullptr, SLGP_UNCPRIORITY))) return {};
  target.resize(std::char_traits<wchar_t>::length(target.c_str()));
  // Wine keeps a link's path in the ANSI code page only; its item ID list holds the whole names.
  const std::wstring listed = ItemListPath(link.get());
  if (!listed.empty() && SameBesidesLostCharacters(target, listed)) return Utf8(listed);
  // A "?" that no file name can hold: characters were lost, so the target is unknown, not missing.
  if (target.find(L'?', target.rfind(LR"(\\?\)", 0) == 0 ? 4 : 0) != std::wstring::npos) return {};
  return Utf8(target);
}

bool Win32FileSystem::ReadFile(const std::string& path, std::string& contents, std::string* error) {
  const DWORD code = ReadWhole(path, contents);
  if (code == ERROR_SUCCESS) return true;
  SetError(error, code);
  return false;
}

bool Win32FileSystem::WriteFile(const std::string& path, std::string_view contents, std::string* error) {
  return WriteWithDisposition(path, contents, error, false);
}

bool Win32FileSystem::AppendFile(const std::string& path, std::string_view contents, std::string* error) {
  return WriteWithDisposition(path, contents, error, true);
}

std::unique_ptr<AppendStream> Win32FileSystem::OpenForAppend(const std::string& path, std::string* error) {
  // FlushFileBuffers needs GENERIC_WRITE, which FILE_APPEND_DATA alone does not give; nobody else
  // may write meanwhile, so writing on from the end is appending.
  UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !::SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END)) {
    SetError(error, ::GetLastError());
    return nullptr;
  }
  return std::make_unique<HandleAppendStream>(std::move(file));
}

std::unique_ptr<FileHold> Win32FileSystem::ReadAndHold(const std::string& path, std::string& contents,
                                                       std::string* error) {
  UniqueFileHandle file = OpenForReading(path, FILE_SHARE_READ, error);  // no writing, renaming or deleting
  if (!file) return nullptr;
  if (const DWORD code = ReadAll(file.get(), contents); code != ERROR_SUCCESS) {
    SetError(error, code);
    return nullptr;
  }
  return std::make_unique<HandleFileHold>(std::move(file));
}

PathKind Win32FileSystem::KindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
  }
  const DWORD error = ::GetLastError();
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? PathKind::Nothing : PathKind::Unknown;
}

// Asking the folder's security descriptor would miss what the system decides at the open itself
// (read-only media, a share's own rights), so a file is made there and deleted as its handle closes.
bool Win32FileSystem::FolderIsWritable(const std::string& folder) {
  std::wstring probe = Wide(folder);
  if (!probe.empty() && probe.back() != L'\\') probe += L'\\';
  probe += L"~Tamrisk" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  const UniqueFileHandle file(
      ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return static_cast<bool>(file);
}

std::optional<std::string> Win32SystemInfo::ExpandEnvironment(const std::string& text, std::size_t bufferSize) {
  std::wstring buffer(bufferSize, L'\0');
  const DWORD needed = ::ExpandEnvironmentStringsW(Wide(text).c_str(), buffer.data(), static_cast<DWORD>(bufferSize));
  if (needed == 0 || needed > bufferSize) return std::nullopt;
  return Utf8(buffer.c_str());
}

std::string Win32SystemInfo::SpecialFolder(int csidl) {
  LPITEMIDLIST items = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &items))) return {};
  return Utf8(PathOfItems(items).value_or(L""));
}

VersionInfo Win32SystemInfo::Version() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(&info)) return {};
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
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  const UniqueLocalMemory owned(text);
  return Utf8(text);
}

std::string Win32SystemInfo::ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return Utf8(std::wstring_view(path).substr(0, path.find_last_of(L'\\') + 1));
}

bool Win32SystemInfo::ProcessIsElevated() {
  HANDLE rawToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
  const UniqueHandle token(rawToken);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

std::string Win32SystemInfo::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return {};
  return Utf8(std::wstring_view(name, length));
}

std::string Win32SystemInfo::WindowsFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder = Utf8(std::wstring_view(path, length));
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

LocalDateTime Win32SystemInfo::Now() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Win32IniFile::ReadString(const std::string& file, const std::string& section, const std::string& key,
                                     const std::string& fallback, std::size_t maxChars) {
  std::wstring buffer(maxChars + 1, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(fallback).c_str(),
                                                  buffer.data(), static_cast<DWORD>(buffer.size()), Wide(file).c_str());
  return Utf8(std::wstring_view(buffer.data(), length));
}

bool Win32IniFile::WriteString(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& value) {
  const std::wstring wideSection = Wide(section), wideKey = Wide(key), wideValue = Wide(value);
  if ((!FitsCodePage(wideSection) || !FitsCodePage(wideKey) || !FitsCodePage(wideValue)) && !MakeUnicodeFile(file)) {
    return false;
  }
  return ::WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str(), Wide(file).c_str()) != 0;
}

namespace {

// In the global namespace, not the session's: a scheduled run may run in another session (the
// services' session when it runs whether or not the user is logged on) and another user's window in
// theirs, yet all of them change the one machine hive and write into the one backup folder beside
// the program, where two repairs in the same second would append to the same file.
constexpr wchar_t kRepairMutex[] = L"Global\\Tamrisk repair";
static_assert(sizeof kRepairMutex / sizeof kRepairMutex[0] == sizeof kRepairLockName);
// SYSTEM (a scheduled run as SYSTEM), administrators and the interactive user may take the lock and
// mark it; others (a service account, a network logon) may neither hold it to block repairs nor open
// the marker to fake an unattended run.
constexpr wchar_t kLockRights[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;IU)";

// The security attributes of the lock and its marker; their descriptor is freed with this.
class LockSecurity {
 public:
  LockSecurity() {
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockRights, SDDL_REVISION_1, &descriptor_, nullptr)) {
      attributes_.lpSecurityDescriptor = descriptor_;
    }
  }
  ~LockSecurity() { ::LocalFree(descriptor_); }
  LockSecurity(const LockSecurity&) = delete;
  LockSecurity& operator=(const LockSecurity&) = delete;
  SECURITY_ATTRIBUTES* get() { return &attributes_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};
// Exists while an unattended run holds the lock, so a window can name who is working.
constexpr wchar_t kUnattendedMarker[] = L"Global\\Tamrisk unattended repair";

class MutexTurn final : public RepairTurn {
 public:
  MutexTurn(UniqueHandle mutex, UniqueHandle marker) : mutex_(std::move(mutex)), marker_(std::move(marker)) {}
  ~MutexTurn() override {
    marker_.reset();
    ::ReleaseMutex(mutex_.get());
  }

 private:
  UniqueHandle mutex_;
  UniqueHandle marker_;
};

}  // namespace

bool UnattendedRepairRunning() {
  const UniqueHandle marker(::OpenEventW(SYNCHRONIZE, FALSE, kUnattendedMarker));
  // A marker made by another user cannot be opened, but it is there.
  return marker || ::GetLastError() == ERROR_ACCESS_DENIED;
}

std::unique_ptr<RepairTurn> Win32Shell::TakeRepairTurn(bool unattendedRun, RepairHolder& holder) {
  // Made by whoever comes first, and gone with the last handle: a holder that was killed leaves it
  // abandoned, which the next one takes.
  LockSecurity security;
  UniqueHandle mutex(::CreateMutexW(security.get(), FALSE, kRepairMutex));
  if (!mutex) {
    const DWORD error = ::GetLastError();
    holder = error == ERROR_INVALID_HANDLE ? RepairHolder::LockNameTaken : RepairHolder::LockDenied;
    return nullptr;
  }
  const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    UniqueHandle marker(unattendedRun ? ::CreateEventW(security.get(), TRUE, FALSE, kUnattendedMarker) : nullptr);
    return std::make_unique<MutexTurn>(std::move(mutex), std::move(marker));
  }
  holder = UnattendedRepairRunning() ? RepairHolder::UnattendedRun : RepairHolder::AnotherProgram;
  return nullptr;
}

bool Win32Shell::Open(std::uintptr_t owner, const std::string& file, const std::string& parameters,
                      const std::string& directory, int show) {
  const std::wstring wideFile = Wide(file), wideParameters = Wide(parameters), wideDirectory = Wide(directory);
  const HINSTANCE result = ::ShellExecuteW(reinterpret_cast<HWND>(owner), L"Open", wideFile.c_str(),
                                           parameters.empty() ? nullptr : wideParameters.c_str(),
                                           directory.empty() ? nullptr : wideDirectory.c_str(), show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Win32Shell::StartHidden(const std::string& commandLine, ProcessInfo& info) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::wstring line = Wide(commandLine);  // CreateProcessW may write into the command line
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &process)) {
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
  // Both closed on every way out, then the record cleared.
  const UniqueHandle process(reinterpret_cast<HANDLE>(info.process));
  const UniqueHandle thread(reinterpret_cast<HANDLE>(info.thread));
  info = {};
}

std::optional<std::string> Win32Shell::PickFolder(std::uintptr_t owner, const std::string& title,
                                                  const std::string& startPath) {
  std::wstring start = Wide(startPath);
  const DWORD attributes = ::GetFileAttributesW(start.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) start.clear();

  const std::wstring wideTitle = Wide(title);
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW browse{};
  browse.hwndOwner = reinterpret_cast<HWND>(owner);
  browse.pszDisplayName = display;
  browse.lpszTitle = wideTitle.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = BrowseCallback;
  browse.lParam = reinterpret_cast<LPARAM>(&start);

  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  const ComApartment com;
  LPITEMIDLIST items = ::SHBrowseForFolderW(&browse);
  ::SetErrorMode(oldMode);
  const std::optional<std::wstring> path = PathOfItems(items);
  return path ? std::optional<std::string>(Utf8(*path)) : std::nullopt;
}

}  // namespace tamrisk::win32
