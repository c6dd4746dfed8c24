#pragma once

#include "platform/RegistryBackend.h"

namespace tamrisk::win32 {

// RegistryBackend over the advapi32 wide functions: names cross as UTF-16, value data as the bytes
// the registry holds (string types as UTF-16LE).
class Win32Registry final : public RegistryBackend {
 public:
  long OpenKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override;
  long CreateKey(KeyHandle parent, const std::string& subkey, std::uint32_t rights, KeyHandle& result) override;
  long CloseKey(KeyHandle key) override;
  long EnumKey(KeyHandle key, std::uint32_t index, std::string& name) override;
  long EnumValue(KeyHandle key, std::uint32_t index, std::string& name) override;
  long EnumValueData(KeyHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                     std::vector<std::uint8_t>& data) override;
  long QueryValueInfo(KeyHandle key, const std::string& name, std::uint32_t& type, std::uint32_t& size) override;
  long QueryValue(KeyHandle key, const std::string& name, std::uint32_t& type,
                  std::vector<std::uint8_t>& data) override;
  long QueryInfoKey(KeyHandle key, KeyInfo& info) override;
  long SetValue(KeyHandle key, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& data) override;
  long DeleteKey(KeyHandle parent, const std::string& subkey) override;
  long DeleteValue(KeyHandle key, const std::string& name) override;
  bool IsLink(KeyHandle parent, const std::string& subkey) override;
};

}  // namespace tamrisk::win32
