// The contract environment of the native build: a fresh set of memory backends per test.
#include "platform/contract/ContractBackends.h"
#include "platform/memory/MemoryPlatform.h"

namespace tamrisk {
namespace {

class MemoryContractEnvironment final : public ContractEnvironment {
 public:
  MemoryContractEnvironment() {
    memory_.SetCurrentUserSid("S-1-5-21-1004336348-1177238915-682003330-1000");
    memory_.files.SetDriveType('C', drivetype::Fixed);
    memory_.LayOut64BitWindows();
    memory_.files.AddFolder(kScratchFolder);
    memory_.registry.CreateKey(RootKey::CurrentUser, kScratchKey);
  }

  RegistryBackend& Registry() override { return memory_.registry; }
  FileSystem& Files() override { return memory_.files; }
  SystemInfo& System() override { return memory_.system; }
  IniFile& Ini() override { return memory_.ini; }
  std::string ScratchKey() override { return kScratchKey; }
  std::string ScratchFolder() override { return kScratchFolder; }
  bool CanDenyRights() override { return true; }
  bool CloseFolder(const std::string& folder) override {
    memory_.files.SetUnreadable(folder);
    return true;
  }
  void DenyRights(RootKey root, const std::string& path, std::uint32_t rightsMask) override {
    memory_.registry.DenyRights(root, path, rightsMask);
  }
  void MakeShortcut(const std::string& shortcutPath, const std::string& target) override {
    memory_.files.AddShortcut(shortcutPath, target);
  }
  std::string FileFailingPartWay() override {
    const std::string path = std::string(kScratchFolder) + "\\part-way.bin";
    memory_.files.AddFile(path, std::string(100000, 'x'));
    memory_.files.FailRead(2);  // the second piece of 64 KiB
    return path;
  }
  void SetEnvironmentVariable(const std::string& name, const std::string& value) override {
    memory_.system.SetVariable(name, value);
  }
  bool ValuesListInCreationOrder() override { return true; }

 private:
  static constexpr const char* kScratchKey = "Software\\TamriskContract\\Scratch";
  static constexpr const char* kScratchFolder = "C:\\tamrisk-contract\\scratch";
  MemoryPlatform memory_;
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() { return std::make_unique<MemoryContractEnvironment>(); }

}  // namespace tamrisk
