#pragma once
// The run parameters as the window holds them: eight edit boxes, the hidden
// extension box, six check boxes, the window position and the status line.
// The settings, the command line and the runs work through this interface, so
// the same start-up serves the Qt window and the headless program. No widgets.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/run_host.h"

namespace corvid {

enum class EditBox { Emdb, Edir, Etbl, Eimg, Efilter, Evalue, Efield1, Efield2, Efext, Emanifest };
enum class CheckBox { CBfilter, CBext, CBlogin, CBdmp, CBskip, CBdeep, CBunwrap, CBnames };
inline constexpr int kEditBoxCount = 10;
inline constexpr int kCheckBoxCount = 8;

class ParameterForm {
 public:
  virtual ~ParameterForm() = default;

  virtual std::string Text(EditBox box) const = 0;
  // Setting Edir runs its change handler (the red/normal colour rule).
  virtual void SetText(EditBox box, std::string_view text) = 0;
  virtual bool Checked(CheckBox box) const = 0;
  virtual void SetChecked(CheckBox box, bool checked) = 0;

  virtual int Top() const = 0;
  virtual int Left() const = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetLeft(int left) = 0;

  virtual void ShowStatus(std::string_view text, Colour colour) = 0;
};

// The run inputs as the controls hold them now.
RunInputs InputsFromForm(const ParameterForm& form);

// Design values of the window.
inline constexpr int kDesignTop = 104;
inline constexpr int kDesignLeft = 387;
std::string_view DesignText(EditBox box);

// A form without widgets: the values in memory and the status line handed to
// a callback. The headless program uses it; so can tests.
class PlainForm : public ParameterForm {
 public:
  PlainForm();

  std::string Text(EditBox box) const override;
  void SetText(EditBox box, std::string_view text) override;
  bool Checked(CheckBox box) const override;
  void SetChecked(CheckBox box, bool checked) override;
  int Top() const override { return top_; }
  int Left() const override { return left_; }
  void SetTop(int top) override { top_ = top; }
  void SetLeft(int left) override { left_ = left; }
  void ShowStatus(std::string_view text, Colour colour) override;

  const std::string& StatusText() const { return status_; }
  std::function<void(std::string_view text, Colour colour)> onStatus;

 private:
  std::string texts_[kEditBoxCount];
  bool checks_[kCheckBoxCount]{};
  int top_ = kDesignTop;
  int left_ = kDesignLeft;
  std::string status_;
};

}  // namespace corvid
