#include "scan/Reasons.h"

#include <array>

#include "platform/Text.h"

namespace tamrisk::reason {
namespace {

enum PatternId {
  kFolderNotFound,
  kFileOrFolderNotFound,
  kFileNotFound,
  kFileNotFoundWithAnyExtension,
  kNotInFontsFolder,
  kShortcutTargetNotFound,
  kCountIsZero,
  kNoValuesBelow,
  kOnlyAnEmptyDefault,
  kExtensionNotRegistered,
  kProgramsFolderNotFound,
  kClassNotRegistered,
  kUninstallEntryNotFound,
};

// In the order of PatternId.
constexpr std::array<Pattern, 13> kPatterns = {{
    {kFolderNotFound, "folder not found: %1"},
    {kFileOrFolderNotFound, "file or folder not found: %1"},
    {kFileNotFound, "file not found: %1"},
    {kFileNotFoundWithAnyExtension, "file not found with any listed extension: %1"},
    {kNotInFontsFolder, "not in the Fonts folder: %1"},
    {kShortcutTargetNotFound, "shortcut target not found: %1"},
    {kCountIsZero, "count is 0"},
    {kNoValuesBelow, "no values below this key"},
    {kOnlyAnEmptyDefault, "nothing but an empty default value"},
    {kExtensionNotRegistered, "extension not registered: %1"},
    {kProgramsFolderNotFound, "Programs folder not found: %1"},
    {kClassNotRegistered, "class not registered: %1"},
    {kUninstallEntryNotFound, "uninstall entry not found: %1"},
}};

constexpr std::string_view kArgument = "%1";

std::string Fill(PatternId id, std::string_view argument = {}) {
  return FillArguments(kPatterns[id].english, {&argument, 1});
}

}  // namespace

std::span<const Pattern> Patterns() { return kPatterns; }

std::optional<Parts> PartsOf(const std::string& reason) {
  // The longest pattern that fits, so "file not found with any listed extension: " is not read as
  // "file not found: " naming "with any ...".
  std::optional<Parts> best;
  std::size_t bestFixed = 0;
  for (const Pattern& pattern : kPatterns) {
    const std::string_view text = pattern.english;
    const std::size_t at = text.find(kArgument);
    const std::string_view head = text.substr(0, at);
    const std::string_view tail =
        at == std::string_view::npos ? std::string_view() : text.substr(at + kArgument.size());
    const bool fits = at == std::string_view::npos ? reason == text
                                                   : reason.size() >= head.size() + tail.size() &&
                                                         reason.starts_with(head) && reason.ends_with(tail);
    if (!fits || (best && head.size() + tail.size() <= bestFixed)) continue;
    bestFixed = head.size() + tail.size();
    best = Parts{pattern.id, at == std::string_view::npos
                                 ? std::string()
                                 : reason.substr(head.size(), reason.size() - head.size() - tail.size())};
  }
  return best;
}

std::string Gone(const MissingPath& gone) {
  switch (gone.what) {
    case MissingPath::Folder: return Fill(kFolderNotFound, gone.path);
    case MissingPath::FileOrFolder: return Fill(kFileOrFolderNotFound, gone.path);
    case MissingPath::File: break;
  }
  return FileNotFound(gone.path);
}

std::string FileNotFound(const std::string& path) { return Fill(kFileNotFound, path); }

std::string FileNotFoundWithAnyExtension(const std::string& path) { return Fill(kFileNotFoundWithAnyExtension, path); }

std::string FontNotInFontsFolder(const std::string& file) { return Fill(kNotInFontsFolder, file); }

std::string ShortcutTargetNotFound(const std::string& target) { return Fill(kShortcutTargetNotFound, target); }

std::string CountIsZero() { return Fill(kCountIsZero); }

std::string NoValuesBelow() { return Fill(kNoValuesBelow); }

std::string OnlyAnEmptyDefault() { return Fill(kOnlyAnEmptyDefault); }

std::string NotInClassesRoot(const std::string& extension) { return Fill(kExtensionNotRegistered, extension); }

std::string NoProgramsFolder(const std::string& name) { return Fill(kProgramsFolderNotFound, name); }

std::string ClassNotRegistered(const std::string& classId) { return Fill(kClassNotRegistered, classId); }

std::string NoUninstallEntry(const std::string& name) { return Fill(kUninstallEntryNotFound, name); }

}  // namespace tamrisk::reason
