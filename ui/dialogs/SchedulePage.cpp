#include "ui/dialogs/SchedulePage.h"

#include <commctrl.h>

#include <array>
#include <stdexcept>

#include "platform/win32/Wide.h"
#include "ui/common/ChildWindow.h"
#include "ui/common/DialogTemplate.h"
#include "ui/common/Dpi.h"
#include "ui/common/WindowText.h"
#include "ui/res/schedule_ids.h"
#include "ui/common/Language.h"
#include "ui/res/strings_ids.h"

namespace tamrisk {
namespace {

// The kind buttons in the order of ScheduleKind.
constexpr std::array<int, 4> kKindButtons = {IDC_SCH_OFF, IDC_SCH_DAILY, IDC_SCH_WEEKLY, IDC_SCH_LOGON};
constexpr int kDaysInWeek = 7;

// The locale's names of the days, Sunday first as the day list is; LOCALE_SDAYNAME1 is Monday.
std::wstring DayName(int day) {
  wchar_t name[80] = {};
  const LCTYPE item = LOCALE_SDAYNAME1 + static_cast<LCTYPE>((day + 6) % 7);
  ::GetLocaleInfoW(MAKELCID(UiLanguage(), SORT_DEFAULT), item, name, static_cast<int>(std::size(name)));
  return name;
}

}  // namespace

std::string ThisProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw std::runtime_error("Cannot find the program's own path");
    if (length < path.size()) return win32::Utf8(std::wstring_view(path.data(), length));
    path.assign(path.size() * 2, L'\0');
  }
}

SchedulePage::SchedulePage(Prompt& prompt, const Platform& platform, TaskScheduler& scheduler)
    : WindowBase(prompt), platform_(platform), scheduler_(scheduler) {}

// WM_INITDIALOG answers FALSE: the options dialog keeps the focus.
INT_PTR SchedulePage::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  UpdateControls();
  return TRUE;
}

void SchedulePage::Create(HWND dialog, const RECT& area) {
  const INITCOMMONCONTROLSEX dates{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES};
  ::InitCommonControlsEx(&dates);
  const std::span<const std::byte> resource = UiDialogResource(IDD_SCHEDULEPAGE);
  if (resource.empty() || !::CreateDialogIndirectParamW(
                              ::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(resource.data()),
                              dialog, DialogProcedure, reinterpret_cast<LPARAM>(static_cast<WindowBase*>(this)))) {
    throw std::runtime_error("Cannot create the Schedule page");
  }
  ::SetWindowLongPtrW(Handle(), GWLP_ID, IDD_SCHEDULEPAGE);  // found as an item of the dialog
  // Above the tab control it lies on.
  ::SetWindowPos(Handle(), HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);
  PlaceControls(ReadTemplateGeometry(resource), area);
  ::SendMessageW(Item(IDC_SCH_TIME), DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH':'mm"));
  for (int day = 0; day < kDaysInWeek; ++day) {
    ::SendMessageW(Item(IDC_SCH_DAY), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DayName(day).c_str()));
  }
}

void SchedulePage::PlaceControls(const TemplateGeometry& geometry, const RECT& area) {
  const int dpi = DpiOf(Handle());
  PlaceTemplateItems(Handle(), geometry, dpi);
  // How much larger than the template's the page is, in designed pixels.
  const int wider = ::MulDiv(area.right - area.left, kDesignDpi, dpi) - geometry.width;
  const int taller = ::MulDiv(area.bottom - area.top, kDesignDpi, dpi) - geometry.height;
  const TemplateItem& reportOnly = geometry.ItemOf(IDC_SCH_REPORTONLY);
  const TemplateItem& note = geometry.ItemOf(IDC_SCH_NOTE);
  PlaceScaled(Item(IDC_SCH_REPORTONLY), {reportOnly.left, reportOnly.top, reportOnly.width + wider, reportOnly.height},
              dpi);
  PlaceScaled(Item(IDC_SCH_NOTE), {note.left, note.top, note.width + wider, note.height + taller}, dpi);
}

void SchedulePage::Load() {
  try {
    read_ = ReadSchedule(scheduler_);
    readError_.reset();
  } catch (const TaskSchedulerError& error) {
    read_ = Schedule{ScheduleKind::Other};  // unknown: no kind is offered as the current one
    readError_ = error.what();
  }
  readErrorShown_ = false;
  ShowSchedule(read_);
  if (readError_) SetNote(UiFormat(IDS_SCHEDULER_UNREACHABLE_NOTE, {*readError_}));
}

void SchedulePage::Show(bool shown) {
  ::ShowWindow(Handle(), shown ? SW_SHOW : SW_HIDE);
  if (shown && readError_ && !readErrorShown_) {
    readErrorShown_ = true;
    Prompts().Message(Owner(), UiFormat(IDS_SCHEDULER_UNREACHABLE, {*readError_}), kMessageCaption,
                      MB_OK | MB_ICONWARNING);
  }
}

bool SchedulePage::Apply() {
  const Schedule chosen = Chosen();
  if (readError_ || chosen.kind == ScheduleKind::Other || chosen == read_) return true;
  try {
    ApplySchedule(scheduler_, chosen, TaskTargetOf(platform_, ThisProgramPath()));
  } catch (const TaskSchedulerError& error) {
    Prompts().Message(Owner(), UiFormat(IDS_SCHEDULE_NOT_CHANGED, {error.what()}), kMessageCaption,
                      MB_OK | MB_ICONERROR);
    return false;
  }
  // Some schedulers (Wine's) take a task and drop its triggers or actions without a word: the page
  // would later show it as changed by someone else.
  Schedule kept{ScheduleKind::Other};
  try {
    kept = ReadSchedule(scheduler_);
  } catch (const TaskSchedulerError&) {
  }
  if (kept != chosen) {
    Prompts().Message(Owner(), UiFormat(IDS_SCHEDULE_NOT_KEPT, {kScheduledTaskName}), kMessageCaption,
                      MB_OK | MB_ICONWARNING);
    read_ = kept;
    return false;
  }
  read_ = chosen;
  return true;
}

Schedule SchedulePage::Chosen() const {
  Schedule schedule{ScheduleKind::Other};
  for (std::size_t i = 0; i < kKindButtons.size(); ++i) {
    if (IsButtonChecked(Item(kKindButtons[i]))) schedule.kind = static_cast<ScheduleKind>(i);
  }
  SYSTEMTIME time{};
  if (::SendMessageW(Item(IDC_SCH_TIME), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID) {
    schedule.hour = time.wHour;
    schedule.minute = time.wMinute;
  }
  const auto day = static_cast<int>(::SendMessageW(Item(IDC_SCH_DAY), CB_GETCURSEL, 0, 0));
  if (day >= 0 && day < kDaysInWeek) schedule.dayOfWeek = day;
  schedule.reportOnly = IsButtonChecked(Item(IDC_SCH_REPORTONLY));
  return Normalised(schedule);
}

void SchedulePage::ShowSchedule(const Schedule& schedule) {
  for (std::size_t i = 0; i < kKindButtons.size(); ++i) {
    SetButtonChecked(Item(kKindButtons[i]), schedule.kind == static_cast<ScheduleKind>(i));
  }
  SYSTEMTIME time{};
  ::GetLocalTime(&time);  // the picker wants a whole valid date
  time.wHour = static_cast<WORD>(schedule.hour);
  time.wMinute = static_cast<WORD>(schedule.minute);
  time.wSecond = 0;
  time.wMilliseconds = 0;
  ::SendMessageW(Item(IDC_SCH_TIME), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
  ::SendMessageW(Item(IDC_SCH_DAY), CB_SETCURSEL, static_cast<WPARAM>(schedule.dayOfWeek), 0);
  SetButtonChecked(Item(IDC_SCH_REPORTONLY), schedule.reportOnly);
  SetNote(UiText(schedule.kind == ScheduleKind::Other ? IDS_SCHEDULE_OTHER : IDS_SCHEDULE_ABOUT));
  UpdateControls();
}

void SchedulePage::UpdateControls() {
  const bool usable = !readError_;
  const ScheduleKind kind = Chosen().kind;
  for (int id : kKindButtons) ::EnableWindow(Item(id), usable);
  const bool timed = usable && (kind == ScheduleKind::Daily || kind == ScheduleKind::Weekly);
  ::EnableWindow(Item(IDC_SCH_TIMELABEL), timed);
  ::EnableWindow(Item(IDC_SCH_TIME), timed);
  ::EnableWindow(Item(IDC_SCH_DAYLABEL), usable && kind == ScheduleKind::Weekly);
  ::EnableWindow(Item(IDC_SCH_DAY), usable && kind == ScheduleKind::Weekly);
  ::EnableWindow(Item(IDC_SCH_REPORTONLY), usable && kind != ScheduleKind::Off && kind != ScheduleKind::Other);
}

void SchedulePage::SetNote(const std::string& text) { SetText(Item(IDC_SCH_NOTE), text); }

}  // namespace tamrisk
