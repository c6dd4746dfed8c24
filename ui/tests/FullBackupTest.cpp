// The main window's hand-over commands: the full registry backup (file name, overwrite question,
// the editor's command line, what it says it wrote), a full backup by the real registry editor that re-imports, Stop
// during an export, the Windows backup tool, help, home page, the restore command and the About box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/MemoryPlatform.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32System.h"
#include "repair/BackupRecord.h"
#include "settings/RegGlobal.h"
#include "testkit/WinFixture.h"
#include "ui/dialogs/About.h"
#include "ui/common/WindowText.h"
#include "ui/res/resource.h"
#include "ui/res/about_ids.h"
#include "ui/res/restore_ids.h"
#include "ui/tests/UiTestSupport.h"

namespace tamrisk::test {
namespace {

// Answers as ScriptedPrompt does and keeps what the save dialog was shown with.
class SavePrompt final : public Prompt {
 public:
  int Message(HWND owner, const std::string& text, const std::string& caption, UINT style) override {
    return script.Message(owner, text, caption, style);
  }
  std::optional<std::string> SaveFileName(HWND owner, const std::string& title, const std::string& filter) override {
    titles.push_back(title);
    filters.push_back(filter);
    return script.SaveFileName(owner, title, filter);
  }

  ScriptedPrompt script;
  std::vector<std::string> titles;
  std::vector<std::string> filters;
};

// The backup hint window over owner (the one with a Stop button), or nullptr.
HWND FindHintWindow(HWND owner) {
  return FindThreadWindowWhere(
      [&](HWND window) { return ::GetWindow(window, GW_OWNER) == owner && ::GetDlgItem(window, IDC_STOP); });
}

class FullBackup : public ::testing::Test {
 protected:
  void SetUp() override {
    memory.files.AddFolder(memory.system.ExecutableFolder());
    memory.files.AddFolder("C:\\Saved\\my.dir");
    memory.shell.SetProcessesEndAtOnce(true);
    form = MakeMainWindow(memory.platform, prompt);
  }

  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    for (const FakeProcess& process : memory.shell.Processes()) lines.push_back(process.commandLine);
    return lines;
  }

  MemoryPlatform memory;
  SavePrompt prompt;
  std::unique_ptr<TfrmHivora> form;
};

TEST_F(FullBackup, ChosenNameGetsTheRegExtensionUnlessItHasOne) {
  struct Case {
    const char* chosen;
    const char* exported;
  };
  for (const Case& c : std::vector<Case>{{"C:\\Saved\\backup", "C:\\Saved\\backup.reg"},
                                         {"C:\\Saved\\backup.txt", "C:\\Saved\\backup.txt.reg"},
                                         {"C:\\Saved\\backup.Reg", "C:\\Saved\\backup.Reg"},
                                         {"C:\\Saved\\my.dir\\backup", "C:\\Saved\\my.dir\\backup.reg"}}) {
    prompt.script.fileAnswers.push_back(std::string(c.chosen));
    std::string hint;
    ThreadTicker look([&] {
      HWND window = FindHintWindow(form->Handle());
      if (!window || !hint.empty()) return;
      hint = TextOf(::GetDlgItem(window, IDC_HINT));
    });
    SendCommand(form->Handle(), IDM_BACKUPFULLREGISTRY);
    ASSERT_FALSE(CommandLines().empty()) << c.chosen;
    EXPECT_EQ(CommandLines().back(), std::string("\"C:\\Windows\\regedit.exe\" /e \"") + c.exported + "\"") << c.chosen;
    EXPECT_EQ(hint, "Backup registry...") << c.chosen;
  }
  EXPECT_EQ(prompt.titles.back(), "Save full registry");
  EXPECT_EQ(prompt.filters.back(), "Registry backup files (*.reg)|*.REG");
  // The fake editor writes no file: each export that ended with none says so.
  ASSERT_EQ(prompt.script.calls.size(), 4u);
  EXPECT_EQ(prompt.script.calls.back().text,
            "The full registry was not saved: the registry editor wrote nothing to C:\\Saved\\my.dir\\backup.reg.");
  EXPECT_EQ(prompt.script.calls.back().style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_TRUE(memory.shell.Processes().back().released);
}

TEST_F(FullBackup, ExistingFileIsOverwrittenOnlyAfterYes) {
  memory.files.AddFile("C:\\Saved\\backup.reg", "old");
  struct Case {
    std::optional<std::string> chosen;
    std::optional<int> answer;
    bool exported;
  };
  for (const Case& c : std::vector<Case>{{std::nullopt, std::nullopt, false},
                                         {std::string("C:\\Saved\\backup"), IDNO, false},
                                         {std::string("C:\\Saved\\backup"), IDYES, true}}) {
    const std::size_t before = memory.shell.Processes().size();
    prompt.script.calls.clear();
    prompt.script.fileAnswers.push_back(c.chosen);
    if (c.answer) prompt.script.answers.push_back(*c.answer);
    SendCommand(form->Handle(), IDM_BACKUPFULLREGISTRY);
    EXPECT_EQ(memory.shell.Processes().size(), before + (c.exported ? 1 : 0)) << c.chosen.value_or("cancelled");
    if (!c.chosen) {
      EXPECT_TRUE(prompt.script.calls.empty());
      continue;
    }
    ASSERT_EQ(prompt.script.calls.size(), 1u);
    EXPECT_EQ(prompt.script.calls[0].text, "C:\\Saved\\backup.reg has existed,overite it?");
    EXPECT_EQ(prompt.script.calls[0].caption, "Varkon Tamrisk");
    EXPECT_EQ(prompt.script.calls[0].style, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2));
  }
}

TEST_F(FullBackup, WindowsBackupHelpAndHomePageOpenThroughTheShellOrSayWhyNot) {
  // The tools and the help viewer from the Windows folder, whatever a planted %SystemRoot% says.
  memory.system.SetVariable("SystemRoot", "C:\\Planted");
  const std::string address = ResourceText(::GetModuleHandleW(nullptr), IDS_HOME_PAGE);
  ASSERT_FALSE(address.empty());
  struct Case {
    const char* what;
    int command;
    std::vector<std::string> programs;  // in the system folder
    bool opens;                         // what the shell answers
    std::string opened;                 // "" when nothing is opened
    std::string said;                   // the start of the message; "" for none
  };
  const std::string system = "C:\\Windows\\system32\\";
  const std::vector<Case> cases = {
      {"ntbackup where it ships", IDM_WINDOWSBACKUP, {"ntbackup.exe", "sdclt.exe"}, true, system + "ntbackup.exe", ""},
      {"its successor after XP", IDM_WINDOWSBACKUP, {"sdclt.exe"}, true, system + "sdclt.exe", ""},
      {"no backup program",
       IDM_WINDOWSBACKUP,
       {},
       true,
       "",
       "This Windows has no backup program: neither ntbackup.exe nor sdclt.exe is in " + system + "."},
      {"a backup program that does not start",
       IDM_WINDOWSBACKUP,
       {"sdclt.exe"},
       false,
       system + "sdclt.exe",
       "Cannot open Windows Backup (" + system + "sdclt.exe): "},
      {"help", IDM_HELP, {}, true, "C:\\Windows\\hh.exe", ""},
      {"help that does not start", IDM_HELP, {}, false, "C:\\Windows\\hh.exe", "Cannot open the help: "},
      {"home page", IDM_HOMEPAGE, {}, true, address, ""},
      {"no browser", IDM_HOMEPAGE, {}, false, address, "Cannot open the home page " + address + ": "},
  };
  for (const Case& c : cases) {
    for (const char* program : {"ntbackup.exe", "sdclt.exe"}) memory.files.ShellDelete(system + program, false);
    for (const std::string& program : c.programs) memory.files.AddFile(system + program);
    memory.shell.SetOpenResult(c.opens);
    prompt.script.calls.clear();
    const std::size_t before = memory.shell.Opens().size();
    SendCommand(form->Handle(), c.command);
    const std::vector<ShellOpenCall> opens = memory.shell.Opens();
    ASSERT_EQ(opens.size(), before + (c.opened.empty() ? 0 : 1)) << c.what;
    if (!c.opened.empty()) {
      const ShellOpenCall& open = opens.back();
      EXPECT_EQ(open.file, c.opened) << c.what;
      EXPECT_EQ(open.parameters,
                c.command == IDM_HELP ? "\"" + memory.system.ExecutableFolder() + "Hivora.chm\"" : std::string())
          << c.what;
      EXPECT_EQ(open.owner, reinterpret_cast<std::uintptr_t>(form->Handle())) << c.what;
      EXPECT_EQ(open.directory, "") << c.what;
      EXPECT_EQ(open.show, SW_SHOW) << c.what;
    }
    if (c.said.empty()) {
      EXPECT_TRUE(prompt.script.calls.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(prompt.script.calls.size(), 1u) << c.what;
    EXPECT_EQ(prompt.script.calls[0].text.substr(0, c.said.size()), c.said) << c.what;
    if (c.said.ends_with(": ")) {
      EXPECT_GT(prompt.script.calls[0].text.size(), c.said.size()) << c.what << ": the system's reason follows";
    }
  }
}

TEST_F(FullBackup, AboutBoxShowsNameVersionAndBuildDate) {
  std::vector<std::string> texts;
  ThreadTicker look([&] {
    HWND about = FindThreadWindow("About Varkon Tamrisk");
    if (!about || !texts.empty()) return;
    for (const int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_VERSION, IDC_ABOUT_BUILD}) {
      texts.push_back(TextOf(::GetDlgItem(about, id)));
    }
    ::SendMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  });
  SendCommand(form->Handle(), IDM_ABOUT);
  EXPECT_EQ(texts, (std::vector<std::string>{"Varkon Tamrisk", TAboutBox::VersionText(), TAboutBox::BuildText()}));
}

TEST_F(FullBackup, RestoreCommandOpensTheRestoreDialogOverTheMainWindowWhoseStatusSaysWhatItDid) {
  OptionsSetting.OutputDirectory = "C:\\Saved";
  OptionsSetting.DeleteBackupFile = false;
  const std::string backup = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\TamriskBack]\r\n\"Here\"=\"x\"\r\n";
  memory.files.AddFile("C:\\Saved\\Backup20240101120000.reg", backup);
  RecordBackup(memory.registry, Sha256Hex(backup), "Backup20240101120000.reg");
  memory.registry.SetString(RootKey::CurrentUser, "Software\\TamriskBack", "Here", "x");
  prompt.script.answers.push_back(IDYES);
  std::string folder, status;
  bool ownerEnabled = true;
  ThreadTicker look([&] {
    HWND restore = FindThreadWindow("Varkon Tamrisk");
    if (!restore || !::GetDlgItem(restore, IDC_RESTORE_LIST) || !folder.empty()) return;
    folder = TextOf(::GetDlgItem(restore, IDC_RESTORE_FOLDER));
    ownerEnabled = ::IsWindowEnabled(form->Handle()) != FALSE;
    LVITEMW row{};
    row.state = row.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(::GetDlgItem(restore, IDC_RESTORE_LIST), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&row));
    ::SendMessageW(restore, WM_COMMAND, IDC_RESTORE_RESTORE, 0);
    status = TextOf(::GetDlgItem(restore, IDC_RESTORE_STATUS));
    ::PostMessageW(restore, WM_COMMAND, IDC_RESTORE_CLOSE, 0);
  });
  SendCommand(form->Handle(), IDC_RESTOREREGISTRY);
  EXPECT_EQ(folder, "C:\\Saved");
  EXPECT_FALSE(ownerEnabled);
  EXPECT_TRUE(::IsWindowEnabled(form->Handle()));
  const std::string done = "Restored 2 entries from Backup20240101120000.reg; the file was kept";
  EXPECT_EQ(status, done) << "in the dialog";
  EXPECT_EQ(PanelText(form->StatusBar(), 1).rfind(" " + done, 0), 0u) << PanelText(form->StatusBar(), 1);
  ASSERT_EQ(prompt.script.calls.size(), 1u) << "the question, and nothing else";
  EXPECT_EQ(prompt.script.calls[0].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
}

// ---- With the real registry editor ----

using Values = std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>;
using Tree = std::map<std::string, Values>;

void ReadTree(HKEY root, const std::string& path, Tree& tree) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
  win32::UniqueRegKey key(raw);
  Values& values = tree[path];
  char name[512];
  BYTE data[4096];
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name, type = 0, size = sizeof data;
    if (::RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values[name] = {type, std::vector<BYTE>(data, data + size)};
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name;
    if (::RegEnumKeyExA(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name);
  }
  for (const std::string& subkey : subkeys) ReadTree(root, path + "\\" + subkey, tree);
}

void Seed(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  win32::UniqueRegKey key(raw);
  ASSERT_EQ(::RegSetValueExA(key.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
}

std::vector<BYTE> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// The sections of an export (the editor's UTF-16 text) whose key path names marker, under the
// export's own header: what a re-import of those keys needs, and nothing that other tests running
// meanwhile could see changed back.
std::wstring SectionsNaming(const std::wstring& exported, const std::wstring& marker) {
  std::wstring kept = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n";
  bool keeping = false;
  std::size_t start = 0;
  while (start < exported.size()) {
    std::size_t end = exported.find(L"\r\n", start);
    if (end == std::wstring::npos) end = exported.size();
    const std::wstring line = exported.substr(start, end - start);
    if (!line.empty() && line[0] == L'[') {
      keeping = line.find(marker + L"]") != std::wstring::npos || line.find(marker + L"\\") != std::wstring::npos;
    }
    if (keeping) kept += line + L"\r\n";
    start = end + 2;
  }
  return kept;
}

std::wstring ReadWideFile(const std::string& path) {
  const std::string bytes = ReadTextFile(path);
  std::wstring text(bytes.size() / 2, L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  return text;
}

bool WriteWideFile(const std::string& path, const std::wstring& text) {
  return WriteTextFile(path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

class FullBackupWin : public ::testing::Test {
 protected:
  void SetUp() override {
    name = UniqueName("h9full");
    folder = FreshFolder(name);
    key = "Software\\" + name;
  }
  void TearDown() override {
    DeleteKeyTree(RootKey::CurrentUser, key);
    DeleteKeyTree(RootKey::LocalMachine, key);
    RemoveFolder(folder);
  }

  std::string name, folder, key;
  win32::Win32Platform system;
  SavePrompt prompt;
};

TEST_F(FullBackupWin, FullBackupReimportsTheSeededKeys) {
  Seed(HKEY_CURRENT_USER, key, "Text", REG_SZ, Bytes(std::string("C:\\Dir\\\"quoted\"") + '\0'));
  Seed(HKEY_CURRENT_USER, key, "", REG_SZ, Bytes(std::string("default") + '\0'));
  Seed(HKEY_CURRENT_USER, key + "\\Child", "Expand", REG_EXPAND_SZ, Bytes(std::string("%SystemRoot%\\x") + '\0'));
  Seed(HKEY_CURRENT_USER, key + "\\Child", "Multi", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5)));
  Seed(HKEY_CURRENT_USER, key + "\\Child\\Deep", "Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
  Seed(HKEY_LOCAL_MACHINE, key, "Binary", REG_BINARY, {0, 1, 2, 0xFE, 0xFF});
  Tree userBefore, machineBefore;
  ReadTree(HKEY_CURRENT_USER, key, userBefore);
  ReadTree(HKEY_LOCAL_MACHINE, key, machineBefore);
  ASSERT_EQ(userBefore.size(), 3u);

  std::unique_ptr<TfrmHivora> form = MakeMainWindow(system.platform, prompt);
  prompt.script.fileAnswers.push_back(folder + "\\full");
  SendCommand(form->Handle(), IDM_BACKUPFULLREGISTRY);
  const std::string file = folder + "\\full.reg";
  const std::wstring exported = ReadWideFile(file);
  ASSERT_GT(exported.size(), 1000u) << "no whole-registry export in " << file;
  const std::string status = PanelText(form->StatusBar(), 1);
  EXPECT_EQ(status.find(" The full registry was saved to " + file + " ("), 0u) << status;

  const std::wstring marker = L"\\Software\\" + std::wstring(name.begin(), name.end());
  const std::string ours = folder + "\\ours.reg";
  ASSERT_TRUE(WriteWideFile(ours, SectionsNaming(exported, marker)));
  DeleteKeyTree(RootKey::CurrentUser, key);
  DeleteKeyTree(RootKey::LocalMachine, key);
  unsigned long exitCode = 1;
  ASSERT_TRUE(RunAndWait("regedit /s \"" + ours + "\"", 60000, &exitCode));

  Tree userAfter, machineAfter;
  ReadTree(HKEY_CURRENT_USER, key, userAfter);
  ReadTree(HKEY_LOCAL_MACHINE, key, machineAfter);
  EXPECT_EQ(userAfter, userBefore);
  EXPECT_EQ(machineAfter, machineBefore);
  EXPECT_TRUE(prompt.script.calls.empty());
}

TEST_F(FullBackupWin, StopEndsTheExportingEditor) {
  std::unique_ptr<TfrmHivora> form = MakeMainWindow(system.platform, prompt);
  win32::UniqueHandle editor;
  bool runningAtStop = false;
  ThreadTicker stop([&] {
    HWND hint = FindHintWindow(form->Handle());
    if (!hint || editor) return;
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(form->BackupProcess.process),
                      ::GetCurrentProcess(), &copy, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0);
    editor.reset(copy);
    runningAtStop = ::WaitForSingleObject(copy, 0) == WAIT_TIMEOUT;
    ::PostMessageW(hint, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
  });
  EXPECT_FALSE(form->RunCommandWithHint("Regedit /e \"" + folder + "\\full.reg\"", "Backup registry..."));
  ASSERT_TRUE(editor);
  EXPECT_TRUE(runningAtStop) << "the export ended before Stop could be pressed";
  EXPECT_EQ(::WaitForSingleObject(editor.get(), 1000), WAIT_OBJECT_0);
  EXPECT_EQ(form->BackupProcess.process, 0u);
}

}  // namespace
}  // namespace tamrisk::test
