// The record of the backups this account wrote: the SHA-256 of each backup file's bytes, kept below
// HKEY_CURRENT_USER, where only this account (and an administrator) may change it. Anyone who can
// write the backup folder can put a file there that looks like a backup; only a file whose bytes are
// on record is imported without a warning.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/RegistryBackend.h"

namespace tamrisk {

// The key below HKEY_CURRENT_USER: one value per backup, named by the hash, holding the file's name.
inline constexpr const char* kBackupRecordKey = "Software\\Varkon Software\\Tamrisk\\Backups";

// SHA-256, fed in pieces; a copy carries the state, so a digest of the bytes so far leaves it going on.
class Sha256 {
 public:
  Sha256();
  void Update(std::string_view bytes);
  // Lower-case hex of the digest of every byte fed so far.
  std::string HexDigest() const;

 private:
  void Block(const std::uint8_t* block);
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t length_ = 0;
};

std::string Sha256Hex(std::string_view bytes);

// Puts a backup's hash on record, with the file's name (no folder: the record names no path a scan
// of this key would check); false when the key cannot be made or written.
bool RecordBackup(RegistryBackend& registry, const std::string& hashHex, const std::string& fileName);

// Whether bytes are a backup this account wrote, whole and unchanged.
bool IsRecordedBackup(RegistryBackend& registry, std::string_view bytes);

// The length of the longest start of bytes that is on record and ends where a later write of the
// repair began (a CR LF and a key line, in UTF-16LE); 0 when there is none. A repair killed while it
// wrote its second batch (the emptied keys) leaves such a file: on record up to its first batch, and
// nothing of the cut batch deleted, since its deletions wait for its record.
std::size_t RecordedPrefixLength(RegistryBackend& registry, std::string_view bytes);

}  // namespace tamrisk
