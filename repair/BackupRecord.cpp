#include "repair/BackupRecord.h"

#include <algorithm>
#include <cstdio>

#include "platform/RegistryAccess.h"

namespace tamrisk {
namespace {

constexpr std::array<std::uint32_t, 64> kRounds = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotate(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Block(const std::uint8_t* block) {
  std::array<std::uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::array<std::uint32_t, 8> v = state_;
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t s1 = Rotate(v[4], 6) ^ Rotate(v[4], 11) ^ Rotate(v[4], 25);
    const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const std::uint32_t t1 = v[7] + s1 + choice + kRounds[i] + w[i];
    const std::uint32_t s0 = Rotate(v[0], 2) ^ Rotate(v[0], 13) ^ Rotate(v[0], 22);
    const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    v = {t1 + s0 + majority, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
  }
  for (int i = 0; i < 8; ++i) state_[i] += v[i];
}

void Sha256::Update(std::string_view bytes) {
  length_ += bytes.size();
  for (const char c : bytes) {
    pending_[pendingSize_++] = static_cast<std::uint8_t>(c);
    if (pendingSize_ == pending_.size()) {
      Block(pending_.data());
      pendingSize_ = 0;
    }
  }
}

std::string Sha256::HexDigest() const {
  Sha256 last = *this;
  const std::uint64_t bits = length_ * 8;
  last.Update(std::string_view("\x80", 1));
  while (last.pendingSize_ != 56) last.Update(std::string_view("\0", 1));
  std::string length(8, '\0');
  for (int i = 0; i < 8; ++i) length[i] = static_cast<char>(bits >> (56 - 8 * i));
  last.Update(length);
  std::string hex;
  for (const std::uint32_t word : last.state_) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(word));
    hex += part;
  }
  return hex;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.HexDigest();
}

bool RecordBackup(RegistryBackend& registry, const std::string& hashHex, const std::string& fileName) {
  RegistryAccess access(registry);
  access.SelectRoot(RootKey::CurrentUser);
  bool recorded = false;
  if (access.OpenPath(kBackupRecordKey, true)) {
    try {
      access.WriteText(hashHex, fileName);
      recorded = true;
    } catch (const RegistryError&) {
    }
  }
  access.ClosePath();
  return recorded;
}

namespace {

bool IsRecorded(RegistryBackend& registry, const BackendKey& record, const std::string& hashHex) {
  std::uint32_t type = 0, size = 0;
  return record.get() != 0 && registry.QueryValueInfo(record.get(), hashHex, type, size) == status::Success;
}

}  // namespace

bool IsRecordedBackup(RegistryBackend& registry, std::string_view bytes) {
  const BackendKey record(registry, RootHandle(RootKey::CurrentUser), kBackupRecordKey, rights::Read);
  return IsRecorded(registry, record, Sha256Hex(bytes));
}

std::size_t RecordedPrefixLength(RegistryBackend& registry, std::string_view bytes) {
  static constexpr std::string_view kWriteStart("\r\0\n\0[\0", 6);
  const BackendKey record(registry, RootHandle(RootKey::CurrentUser), kBackupRecordKey, rights::Read);
  if (record.get() == 0) return 0;
  Sha256 hash;
  std::size_t hashed = 0, longest = 0;
  const auto tryEnd = [&](std::size_t end) {
    hash.Update(bytes.substr(hashed, end - hashed));
    hashed = end;
    if (IsRecorded(registry, record, hash.HexDigest())) longest = end;
  };
  for (std::size_t at = bytes.find(kWriteStart); at != std::string_view::npos; at = bytes.find(kWriteStart, at + 2)) {
    if (at % 2 == 0) tryEnd(at);
  }
  // A write cut within its first few bytes left less than its start.
  for (std::size_t at = std::max(hashed, bytes.size() - std::min(bytes.size(), kWriteStart.size() - 1));
       at < bytes.size(); ++at) {
    if (at % 2 == 0 && kWriteStart.starts_with(bytes.substr(at))) tryEnd(at);
  }
  return longest;
}

}  // namespace tamrisk
