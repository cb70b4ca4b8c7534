#pragma once
// TF, the main window: every run parameter as an edit box or check box, the
// "Go..." and "Raw..." buttons, the log Mlog (help text until the first run)
// and the status line Pstatus. The window is built from the control table in
// window_layout.h, implements the engine's RunHost and the ParameterForm the
// settings and the command line fill, and owns the run components.

#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "engine/run_report.h"
#include "frontend/parameter_form.h"
#include "frontend/run_components.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace corvid {

class NameCompletion;

class TF : public QMainWindow, public ParameterForm, public RunHost {
  Q_OBJECT

 public:
  // `arguments`: the command line without argument 0 and without Corvid's own
  // arguments. `components`: the database side of the extraction run (may be
  // null; "Go..." then reports that no database layer is available).
  explicit TF(std::vector<std::string> arguments = {},
              std::unique_ptr<RunComponents> components = nullptr, QWidget* parent = nullptr);
  ~TF() override;

  // ---- Controls (named as in the layout table) ----------------------------
  QLineEdit* Emdb;
  QLabel* Lmdb;
  QToolButton* SBmdb;
  QLineEdit* Edir;
  QPushButton* Bmdb;
  QLabel* Ldir;
  QLabel* Pstatus;
  QLineEdit* Efield1;
  QLabel* Lfield;
  QLineEdit* Eimg;
  QLabel* Limg;
  QPlainTextEdit* Mlog;
  QLineEdit* Etbl;
  QLabel* Ltbl;
  QLabel* Lff;
  QLineEdit* Efilter;
  QLabel* Lfv;
  QLineEdit* Evalue;
  QCheckBox* CBfilter;
  QCheckBox* CBext;
  QCheckBox* CBlogin;
  QCheckBox* CBdmp;
  QCheckBox* CBskip;
  QLabel* Lfield2;
  QLineEdit* Efield2;
  QLabel* Lfext;
  QLineEdit* Efext;
  QCheckBox* CBdeep;
  QFrame* Pshow;
  QPushButton* Braw;
  QCheckBox* CBunwrap;
  QCheckBox* CBnames;
  QLineEdit* Emanifest;
  QMenu* MIfile;
  QAction* MIexit;
  QFileDialog* OD;

  bool FBatch = false;

  // ---- Event handlers -----------------------------------------------------
  // Window creation: caption, stored settings, command line, batch hook. An
  // error is reported and ends FormCreate there.
  void FormCreate();
  // Window destruction: stores the settings (called once, from the destructor
  // at the latest).
  void FormDestroy();
  void SBmdbClick();
  void DoExtract();
  void DoRawExtract();
  void MIexitClick();
  void EdirChange();
  void EdirExit();
  void PshowDblClick();
  // The batch run, hooked to the first idle moment when FBatch is set.
  void AppIdle();

  // ---- ParameterForm ---------------------------------------------------------
  std::string Text(EditBox box) const override;
  void SetText(EditBox box, std::string_view text) override;
  bool Checked(CheckBox box) const override;
  void SetChecked(CheckBox box, bool checked) override;
  int Top() const override;
  int Left() const override;
  void SetTop(int top) override;
  void SetLeft(int left) override;

  // ---- RunHost ---------------------------------------------------------------
  RunInputs Inputs() const override;
  void AddLogLine(std::string_view line) override;
  void ShowStatus(std::string_view text, Colour colour) override;
  void SetBusyCursor(bool busy) override;
  void ProcessMessages() override;
  std::string ProductName() const override;
  std::string FileVersion() const override;

  // Whether a run is under way (a second one is refused meanwhile).
  bool Running() const { return running_; }
  // The report of the last extraction run that returned.
  const std::optional<RunReport>& LastReport() const { return lastReport_; }
  // The process exit status the batch run asks for: 1 when it did not
  // complete, 3 when it completed over damage in the database, else 0.
  int BatchExitCode() const { return batchExitCode_; }
  RunComponents* Components() const { return components_.get(); }
  // The completion lists of the table and field boxes.
  NameCompletion& Names() const { return *names_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  QLineEdit* Edit(EditBox box) const;
  QCheckBox* Check(CheckBox box) const;
  void RunGuarded(void (TF::*run)());
  void ExtractRun();
  void RawRun();
  void HookIdle();
  void SaveScreenshot(const char* moment);

  std::vector<std::string> arguments_;
  std::unique_ptr<RunComponents> components_;
  NameCompletion* names_ = nullptr;  // a child of the window
  std::optional<RunReport> lastReport_;
  bool running_ = false;
  bool closePending_ = false;
  bool quitPending_ = false;
  bool destroyed_ = false;
  int batchExitCode_ = 0;
  int busyDepth_ = 0;
  int top_ = 104;
  int left_ = 387;
};

}  // namespace corvid
