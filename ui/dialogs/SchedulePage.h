// The options dialog's "Schedule" page: a child dialog over the tab control's page area. The
// registered task is the truth: the page shows it as read when the options open, and OK registers,
// replaces or deletes it only when the page was changed. A scheduler that cannot be reached or
// refuses is reported with its own text, and nothing changes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/System.h"
#include "platform/TaskScheduler.h"
#include "settings/Schedule.h"
#include "ui/common/DialogTemplate.h"
#include "ui/common/Prompt.h"
#include "ui/common/WindowBase.h"

namespace tamrisk {

class SchedulePage final : public WindowBase {
 public:
  SchedulePage(Prompt& prompt, const Platform& platform, TaskScheduler& scheduler);

  // Makes the page, hidden, as a child of dialog over area (the dialog's client pixels).
  void Create(HWND dialog, const RECT& area);
  // Reads the registered task and shows it. When the scheduler cannot be reached the page is greyed,
  // and the first Show(true) says why.
  void Load();
  void Show(bool shown);
  // For OK: applies the page when it differs from what was read. False after the error box when the
  // scheduler refuses; the task is then as it was.
  bool Apply();

  // What the page shows now; Other while it shows a task whose form it does not offer.
  Schedule Chosen() const;

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The template's places, scaled; the report-only box and the note grow with the page.
  void PlaceControls(const TemplateGeometry& geometry, const RECT& area);
  void ShowSchedule(const Schedule& schedule);
  // Enables what the chosen kind uses.
  void UpdateControls();
  void SetNote(const std::string& text);
  HWND Item(int id) const { return ::GetDlgItem(Handle(), id); }
  HWND Owner() const { return ::GetParent(Handle()); }

  Platform platform_;
  TaskScheduler& scheduler_;
  Schedule read_;
  std::optional<std::string> readError_;
  bool readErrorShown_ = false;
};

// The program's full path, whose folder the task runs in.
std::string ThisProgramPath();

}  // namespace tamrisk
