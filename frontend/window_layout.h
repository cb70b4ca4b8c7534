#pragma once
// The main window's controls as data: name, kind, caption or default text,
// position and size inside the client area, tab order, visibility, hint, the
// control a label focuses and whether it shows the help pointer. The window is
// built from this table, and tests compare the built window against it.

#include <span>
#include <string_view>

namespace corvid {

enum class ControlKind {
  EditBox,
  Label,
  PictureButton,
  PushButton,
  Panel,
  StatusPanel,
  LogBox,
  CheckBox
};

struct ControlSpec {
  std::string_view name;
  ControlKind kind;
  std::string_view text;  // caption or default text
  int left, top, width, height;
  int tabOrder;  // design tab position; -1 for labels. Panels and labels take no focus.
  bool visible;
  std::string_view hint;     // tooltip; empty for none
  std::string_view focuses;  // labels: the control their access key / click focuses
  bool helpCursor;
};

inline constexpr int kClientWidth = 413;
inline constexpr int kClientHeight = 455;

std::span<const ControlSpec> MainWindowControls();
const ControlSpec* FindControlSpec(std::string_view name);

// The 17 lines the log shows until the first run (line 14 is empty).
std::span<const std::string_view> HelpLines();

// The browse dialog's filter entries: caption and patterns.
struct FileFilter {
  std::string_view caption;
  std::string_view patterns;  // blank-separated
};
std::span<const FileFilter> DatabaseFileFilters();

}  // namespace corvid
