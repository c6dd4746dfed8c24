#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace tamrisk::win32 {
namespace {

HKEY ToHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
KeyHandle FromHkey(HKEY key) { return reinterpret_cast<KeyHandle>(key); }

// Longest names the registry allows, plus the terminating NUL.
constexpr DWORD kMaxKeyName = 256;
constexpr DWORD kMaxValueName = 16384;

}  // namespace

long Win32Registry::OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  HKEY opened = nullptr;
  const LONG rc = ::RegOpenKeyExA(ToHkey(parent), subkey.c_str(), 0, rights, &opened);
  if (rc == ERROR_SUCCESS) result = FromHkey(opened);
  return rc;
}

long Win32Registry::CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) {
  HKEY created = nullptr;
  const LONG rc = ::RegCreateKeyExA(ToHkey(parent), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, rights,
                                    nullptr, &created, nullptr);
  if (rc == ERROR_SUCCESS) result = FromHkey(created);
  return rc;
}

long Win32Registry::CloseKey(KeyHandle key) { return ::RegCloseKey(ToHkey(key)); }

long Win32Registry::EnumKey(KeyHandle key, std::uint32_t index, std::string& name) {
  char buffer[kMaxKeyName];
  DWORD length = kMaxKeyName;
  const LONG rc = ::RegEnumKeyExA(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) name.assign(buffer, length);
  return rc;
}

long Win32Registry::EnumValue(KeyHandle key, std::uint32_t index, std::string& name) {
  // One buffer per thread: a value name may be 16383 characters, and walks list millions of them.
  thread_local std::string buffer(kMaxValueName, '\0');
  DWORD length = kMaxValueName;
  const LONG rc = ::RegEnumValueA(ToHkey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
  if (rc == ERROR_SUCCESS) name.assign(buffer.data(), length);
  return rc;
}

long Win32Registry::QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type,
                                   std::uint32_t& size) {
  DWORD t = 0, s = 0;
  const LONG rc = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &t, nullptr, &s);
  if (rc == ERROR_SUCCESS) {
    type = t;
    size = s;
  }
  return rc;
}

long Win32Registry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) {
  // The value can grow between the size query and the read; retry until the buffer fits.
  DWORD size = 256;
  for (int attempt = 0; attempt < 8; ++attempt) {
    data.resize(size);
    DWORD t = 0;
    DWORD got = size;
    const LONG rc = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &t, data.data(), &got);
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
  const LONG rc = ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
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
  return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size()));
}

long Win32Registry::DeleteKey(KeyHandle parent, const std::string& subkey) {
  return ::RegDeleteKeyA(ToHkey(parent), subkey.c_str());
}

long Win32Registry::DeleteValue(KeyHandle key, const std::string& name) {
  return ::RegDeleteValueA(ToHkey(key), name.c_str());
}

}  // namespace tamrisk::win32
