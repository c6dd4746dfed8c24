#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/win32/Wide.h"

namespace tamrisk::win32 {
namespace {

HKEY ToHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
KeyHandle FromHkey(HKEY key) { return reinterpret_cast<KeyHandle>(key); }

// Longest names the registry allows, in characters, plus the terminating NUL.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;
// Data bytes tried first: a string of 255 characters.
constexpr std::size_t kFirstDataSize = 512;

// Each thread's buffers for reading values: a value name may be 16383 characters, and walks list
// millions of them. The data buffer keeps the size of the largest value the thread has read, so a
// walk asks twice only for a value longer than any before it.
struct ReadBuffers {
  std::wstring name = std::wstring(kMaxValueName, L'\0');
  std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kFirstDataSize);
};

VOID WINAPI FreeReadBuffers(PVOID buffers) { delete static_cast<ReadBuffers*>(buffers); }

// Kept in fiber-local storage, which Windows frees as the thread ends. A thread_local object is not
// safe here: MinGW runs its destructor after the thread's copy has been freed, which crashed the
// walk's threads now and then as they ended. Null when Windows has no slot or memory to spare.
ReadBuffers* ThreadReadBuffers() {
  static const DWORD slot = ::FlsAlloc(FreeReadBuffers);
  if (slot == FLS_OUT_OF_INDEXES) return nullptr;
  if (auto* buffers = static_cast<ReadBuffers*>(::FlsGetValue(slot))) return buffers;
  try {
    auto buffers = std::make_unique<ReadBuffers>();
    if (!::FlsSetValue(slot, buffers.get())) return nullptr;
    return buffers.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

long Win32Registry::OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  HKEY opened = nullptr;
  const LONG rc = ::RegOpenKeyExW(ToHkey(parent), Wide(subkey).c_str(), 0, rights, &opened);
  if (rc == ERROR_SUCCESS) result = FromHkey(opened);
  return rc;
}

long Win32Registry::CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  HKEY created = nullptr;
  const LONG rc = ::RegCreateKeyExW(ToHkey(parent), Wide(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, rights,
                                    nullptr, &created, nullptr);
  if (rc == ERROR_SUCCESS) result = FromHkey(created);
  return rc;
}

long Win32Registry::CloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

// The link itself, not its target, is opened; a link holds its target's name in SymbolicLinkValue.
bool Win32Registry::IsLink(KeyHandle parent, const std::string& subkey) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(ToHkey(parent), Wide(subkey).c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  const LONG rc = ::RegQueryValueExW(opened, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  ::RegCloseKey(opened);
  return rc == ERROR_SUCCESS && type == REG_LINK;
}

long Win32Registry::EnumKey(KeyHandle key, std::uint32_t index, std::string& name) {
  wchar_t buffer[kMaxKeyName];
  DWORD length = kMaxKeyName;
  LONG rc = ::RegEnumKeyExW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) {
    name = Utf8(std::wstring_view(buffer, length));
  } else if (rc == ERROR_MORE_DATA) {
    // Wine, unlike Windows, takes key names longer than 255 characters.
    std::wstring longer(kMaxValueName, L'\0');
    length = kMaxValueName;
    rc = ::RegEnumKeyExW(ToHkey(key), index, longer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) name = Utf8(std::wstring_view(longer.data(), length));
  }
  return rc;
}

long Win32Registry::EnumValue(KeyHandle key, std::uint32_t index, std::string& name) {
  ReadBuffers* buffers = ThreadReadBuffers();
  if (buffers == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  wchar_t* buffer = buffers->name.data();
  DWORD length = kMaxValueName;
  const LONG rc = ::RegEnumValueW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) name = Utf8(std::wstring_view(buffer, length));
  return rc;
}

long Win32Registry::EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                                  std::vector<std::uint8_t>& data) {
  ReadBuffers* buffers = ThreadReadBuffers();
  if (buffers == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  wchar_t* nameBuffer = buffers->name.data();
  // The bytes are copied into the caller's buffer, which keeps its capacity: neither grows once a
  // walk has met its longest value.
  std::vector<std::uint8_t>& room = buffers->data;
  // The value can grow between two tries; each try fetches it whole again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD length = kMaxValueName;
    DWORD size = static_cast<DWORD>(room.size());
    DWORD t = 0;
    const LONG rc = ::RegEnumValueW(ToHkey(key), index, nameBuffer, &length, nullptr, &t, room.data(), &size);
    if (rc == ERROR_SUCCESS) {
      name = Utf8(std::wstring_view(nameBuffer, length));
      type = t;
      data.assign(room.begin(), room.begin() + size);
      return rc;
    }
    // ERROR_MORE_DATA stands for a short data buffer or a short name buffer, and only the data's
    // size comes back. The name buffer holds the longest name the registry allows, so a name that
    // does not fit is a failure like any other.
    if (rc != ERROR_MORE_DATA || size <= room.size()) return rc;
    room.resize(size);
  }
  return ERROR_MORE_DATA;
}

long Win32Registry::QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) {
  DWORD t = 0, s = 0;
  const LONG rc = ::RegQueryValueExW(ToHkey(key), Wide(name).c_str(), nullptr, &t, nullptr, &s);
  if (rc == ERROR_SUCCESS) {
    type = t;
    size = s;
  }
  return rc;
}

long Win32Registry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) {
  const std::wstring wideName = Wide(name);
  // The value can grow between the size query and the read; retry until the buffer fits.
  DWORD size = static_cast<DWORD>(kFirstDataSize);
  for (int attempt = 0; attempt < 8; ++attempt) {
    data.resize(size);
    DWORD t = 0;
    DWORD got = size;
    const LONG rc = ::RegQueryValueExW(ToHkey(key), wideName.c_str(), nullptr, &t, data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      type = t;
      return rc;
    }
    if (rc != ERROR_MORE_DATA) {
      data.clear();
      return rc;
    }
    size = got > size ? got : size * 2;
  }
  data.clear();
  return ERROR_MORE_DATA;
}

long Win32Registry::QueryInfoKey(KeyHandle key, KeyInfo& info) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxValueData = 0;
  FILETIME written{};
  const LONG rc = ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                     &maxValueName, &maxValueData, nullptr, &written);
  if (rc == ERROR_SUCCESS) {
    info.subkeyCount = subkeys;
    info.maxSubkeyNameLength = maxSubkey;
    info.valueCount = values;
    info.maxValueNameLength = maxValueName;
    info.maxValueDataLength = maxValueData;
    info.lastWriteTime = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  }
  return rc;
}

long Win32Registry::SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
  const DWORD size = static_cast<DWORD>(data.size());
  const std::wstring wideName = Wide(name);
  const bool stringType = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
  const bool endsInNul = size >= 2 && data[size / 2 * 2 - 2] == 0 && data[size / 2 * 2 - 1] == 0;
  if (!stringType || size == 0 || endsInNul) {
    return ::RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type, size == 0 ? nullptr : data.data(), size);
  }
  // For string data whose last whole unit is not NUL, Windows and Wine read on past the data and
  // count a NUL unit found there as a forgotten terminator (for a single byte they look at the unit
  // before it). Units around the data that are not NUL keep it exactly as given.
  std::vector<std::uint8_t> guarded(size + 4, 0xFF);
  std::copy(data.begin(), data.end(), guarded.begin() + 2);
  return ::RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type, guarded.data() + 2, size);
}

long Win32Registry::DeleteKey(KeyHandle parent, const std::string& subkey) {
  return ::RegDeleteKeyW(ToHkey(parent), Wide(subkey).c_str());
}

long Win32Registry::DeleteValue(KeyHandle key, const std::string& name) {
  return ::RegDeleteValueW(ToHkey(key), Wide(name).c_str());
}

}  // namespace tamrisk::win32
