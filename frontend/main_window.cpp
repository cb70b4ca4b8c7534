#include "frontend/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <stdexcept>

#include "SrcLib/oAppInfo.h"
#include "engine/extraction_run.h"
#include "engine/raw_extraction.h"
#include "frontend/database_encryption.h"
#include "frontend/command_line.h"
#include "frontend/error_report.h"
#include "frontend/exit_status.h"
#include "frontend/name_completion.h"
#include "frontend/persisted_settings.h"
#include "frontend/window_layout.h"

namespace corvid {
namespace {

// The core's texts are UTF-8; Qt's are UTF-16.
QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// Pshow: a panel without bevel that reports double clicks.
class DoubleClickPanel : public QFrame {
 public:
  using QFrame::QFrame;
  std::function<void()> onDoubleClick;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (onDoubleClick) onDoubleClick();
    QFrame::mouseDoubleClickEvent(event);
  }
};

// A status-line colour as the palette colour it stands for: system colours
// (high byte set) by their index, others as 0x00BBGGRR.
QColor ToQColor(Colour colour, const QPalette& palette) {
  if (colour & 0xFF000000u) {
    switch (colour & 0xFFu) {
      case 5:
        return palette.color(QPalette::Base);  // window background
      case 8:
        return palette.color(QPalette::WindowText);  // window text
      case 15:
        return palette.color(QPalette::Button);  // button face
      default:
        return palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

// The width a caption may take: up to the next control to its right on the
// same rows (less a small gap), or to the window's edge.
int RoomForCaption(const ControlSpec& control) {
  int limit = kClientWidth;
  for (const ControlSpec& other : MainWindowControls()) {
    // Boxes that are shown on request count; the never-shown controls don't.
    const bool mayShow = other.visible || other.kind == ControlKind::CheckBox;
    if (&other == &control || !mayShow || other.left <= control.left) continue;
    const int middle = control.top + control.height / 2;
    const bool sameRows = other.top <= middle && middle < other.top + other.height;
    if (sameRows) limit = std::min(limit, other.left - 3);
  }
  return limit - control.left;
}

// Narrows a caption's font, then shrinks it a pixel at a time, until it fits
// in `room` (the desktop font may be wider than the one the layout was drawn
// with).
void FitCaption(QWidget& widget, int room) {
  QFont font = widget.font();
  if (widget.sizeHint().width() > room) {
    font.setStretch(QFont::Condensed);  // a condensed face first, where there is one
    widget.setFont(font);
  }
  int pixels = font.pixelSize() > 0 ? font.pixelSize() : 11;
  while (widget.sizeHint().width() > room && pixels > 7) {
    font.setPixelSize(--pixels);
    widget.setFont(font);
  }
}

}  // namespace

TF::TF(std::vector<std::string> arguments, std::unique_ptr<RunComponents> components,
       QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)), components_(std::move(components)) {
  setObjectName("F");
  setWindowTitle("F");
  // The desktop's sans-serif at 8 points of a 96-dpi screen: 11 pixels, so
  // that captions keep their size against the pixel positions of the layout.
  QFont font = QApplication::font();
  font.setFamily("Sans Serif");
  font.setPixelSize(11);
  setFont(font);
  BuildMenu();
  BuildControls();
  // Single fixed border, system menu and minimise only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // client area plus the menu bar
  move(387, 104);
}

TF::~TF() {
  if (!destroyed_) RunHandler([this] { FormDestroy(); });
}

void TF::BuildMenu() {
  MIfile = menuBar()->addMenu("File");
  MIfile->setObjectName("MIfile");
  MIexit = MIfile->addAction("E&xit");
  MIexit->setObjectName("MIexit");
  connect(MIexit, &QAction::triggered, this, [this] { RunHandler([this] { MIexitClick(); }); });
}

void TF::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  std::vector<std::pair<int, QWidget*>> tabbed;
  std::vector<std::pair<QLabel*, std::string_view>> buddies;
  for (const ControlSpec& control : MainWindowControls()) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::EditBox: {
        auto* edit = new QLineEdit(ToQString(control.text), client);
        widget = edit;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(ToQString(control.text), client);
        label->setTextFormat(Qt::PlainText);
        if (!control.focuses.empty()) buddies.emplace_back(label, control.focuses);
        if (control.helpCursor) label->setCursor(Qt::WhatsThisCursor);
        widget = label;
        break;
      }
      case ControlKind::PictureButton: {
        auto* button = new QToolButton(client);
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        button->setIconSize(QSize(20, 20));
        widget = button;
        break;
      }
      case ControlKind::PushButton:
        widget = new QPushButton(ToQString(control.text), client);
        break;
      case ControlKind::Panel: {
        auto* panel = new DoubleClickPanel(client);
        panel->setFrameShape(QFrame::NoFrame);
        panel->onDoubleClick = [this] { RunHandler([this] { PshowDblClick(); }); };
        widget = panel;
        break;
      }
      case ControlKind::StatusPanel: {
        auto* status = new QLabel(ToQString(control.text), client);
        status->setTextFormat(Qt::PlainText);
        status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        status->setAutoFillBackground(true);
        widget = status;
        break;
      }
      case ControlKind::LogBox: {
        auto* log = new QPlainTextEdit(client);
        log->setLineWrapMode(QPlainTextEdit::NoWrap);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget = log;
        break;
      }
      case ControlKind::CheckBox:
        widget = new QCheckBox(ToQString(control.text), client);
        break;
    }
    widget->setObjectName(ToQString(control.name));
    int width = control.width;
    if (control.kind == ControlKind::Label || control.kind == ControlKind::CheckBox) {
      int room = RoomForCaption(control);
      if (control.kind == ControlKind::CheckBox) width = room = std::min(width, room);
      FitCaption(*widget, room);
      if (control.kind == ControlKind::Label)
        width = std::max(width, std::min(room, widget->sizeHint().width()));
    }
    widget->setGeometry(control.left, control.top, width, control.height);
    if (!control.hint.empty()) widget->setToolTip(ToQString(control.hint));
    widget->setVisible(control.visible);
    const bool focusable =
        control.kind == ControlKind::EditBox || control.kind == ControlKind::PushButton ||
        control.kind == ControlKind::CheckBox || control.kind == ControlKind::LogBox;
    if (focusable) {
      tabbed.emplace_back(control.tabOrder, widget);
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }

  auto find = [client](std::string_view name) {
    return client->findChild<QWidget*>(ToQString(name));
  };
  Emdb = static_cast<QLineEdit*>(find("Emdb"));
  Lmdb = static_cast<QLabel*>(find("Lmdb"));
  SBmdb = static_cast<QToolButton*>(find("SBmdb"));
  Edir = static_cast<QLineEdit*>(find("Edir"));
  Bmdb = static_cast<QPushButton*>(find("Bmdb"));
  Ldir = static_cast<QLabel*>(find("Ldir"));
  Pstatus = static_cast<QLabel*>(find("Pstatus"));
  Efield1 = static_cast<QLineEdit*>(find("Efield1"));
  Lfield = static_cast<QLabel*>(find("Lfield"));
  Eimg = static_cast<QLineEdit*>(find("Eimg"));
  Limg = static_cast<QLabel*>(find("Limg"));
  Mlog = static_cast<QPlainTextEdit*>(find("Mlog"));
  Etbl = static_cast<QLineEdit*>(find("Etbl"));
  Ltbl = static_cast<QLabel*>(find("Ltbl"));
  Lff = static_cast<QLabel*>(find("Lff"));
  Efilter = static_cast<QLineEdit*>(find("Efilter"));
  Lfv = static_cast<QLabel*>(find("Lfv"));
  Evalue = static_cast<QLineEdit*>(find("Evalue"));
  CBfilter = static_cast<QCheckBox*>(find("CBfilter"));
  CBext = static_cast<QCheckBox*>(find("CBext"));
  CBlogin = static_cast<QCheckBox*>(find("CBlogin"));
  CBdmp = static_cast<QCheckBox*>(find("CBdmp"));
  CBskip = static_cast<QCheckBox*>(find("CBskip"));
  Lfield2 = static_cast<QLabel*>(find("Lfield2"));
  Efield2 = static_cast<QLineEdit*>(find("Efield2"));
  Lfext = static_cast<QLabel*>(find("Lfext"));
  Efext = static_cast<QLineEdit*>(find("Efext"));
  CBdeep = static_cast<QCheckBox*>(find("CBdeep"));
  Pshow = static_cast<QFrame*>(find("Pshow"));
  Braw = static_cast<QPushButton*>(find("Braw"));
  CBunwrap = static_cast<QCheckBox*>(find("CBunwrap"));
  CBnames = static_cast<QCheckBox*>(find("CBnames"));
  Emanifest = static_cast<QLineEdit*>(find("Emanifest"));
  Emanifest->setPlaceholderText("Manifest file");

  for (const auto& [label, target] : buddies) label->setBuddy(find(target));
  std::sort(tabbed.begin(), tabbed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < tabbed.size(); ++i)
    setTabOrder(tabbed[i - 1].second, tabbed[i].second);

  for (const std::string_view line : HelpLines()) Mlog->appendPlainText(ToQString(line));
  Mlog->moveCursor(QTextCursor::Start);
  Mlog->verticalScrollBar()->setValue(0);

  OD = new QFileDialog(this, "Open");
  OD->setObjectName("OD");
  OD->setOption(QFileDialog::DontUseNativeDialog, true);
  OD->setFileMode(QFileDialog::ExistingFile);
  OD->setAcceptMode(QFileDialog::AcceptOpen);
  QStringList filters;
  for (const FileFilter& filter : DatabaseFileFilters())
    filters << ToQString(filter.caption) + " (" + ToQString(filter.patterns) + ")";
  OD->setNameFilters(filters);
  OD->setDefaultSuffix("mdb");

  connect(SBmdb, &QToolButton::clicked, this, [this] { RunHandler([this] { SBmdbClick(); }); });
  connect(Bmdb, &QPushButton::clicked, this, [this] { RunHandler([this] { DoExtract(); }); });
  connect(Braw, &QPushButton::clicked, this, [this] { RunHandler([this] { DoRawExtract(); }); });
  connect(Edir, &QLineEdit::textChanged, this, [this] { RunHandler([this] { EdirChange(); }); });
  Edir->installEventFilter(this);
  EdirChange();

  names_ = new NameCompletion(this);
  names_->Attach(Etbl, {Eimg, Efield1, Efield2, Efilter});
  connect(Emdb, &QLineEdit::textChanged, names_,
          [this](const QString& text) { names_->DatabaseChanged(ToUtf8(text)); });
  connect(Etbl, &QLineEdit::textChanged, names_,
          [this](const QString& text) { names_->TableChanged(ToUtf8(text)); });
  names_->TableChanged(ToUtf8(Etbl->text()));
}

bool TF::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edir && event->type() == QEvent::FocusOut) RunHandler([this] { EdirExit(); });
  return QMainWindow::eventFilter(watched, event);
}

// ---- Handlers ---------------------------------------------------------------

void TF::FormCreate() {
  FBatch = false;
  setWindowTitle(ToQString(AppInfo().productName + " v" + AppInfo().fileVersion));
  LoadSettings(*this);
  FBatch = ParseCommandLine(*this, arguments_);
  if (FBatch) HookIdle();
}

void TF::HookIdle() {
  // The first moment the event loop has nothing else to do.
  QTimer::singleShot(0, this, [this] { RunHandler([this] { AppIdle(); }); });
}

void TF::FormDestroy() {
  destroyed_ = true;
  SaveSettings(*this);
}

void TF::SBmdbClick() {
  OD->setDefaultSuffix("mdb");
  const QStringList filters = OD->nameFilters();
  if (!filters.isEmpty()) OD->selectNameFilter(filters.front());
  const QString text = Emdb->text();
  const qsizetype slash = text.lastIndexOf('/');
  OD->setDirectory(slash < 0 ? QDir::currentPath() : text.left(slash + 1));
  OD->selectFile(text);
  if (OD->exec() == QDialog::Accepted && !OD->selectedFiles().isEmpty()) {
    Emdb->setText(OD->selectedFiles().front());
  }
}

void TF::DoExtract() { RunGuarded(&TF::ExtractRun); }
void TF::DoRawExtract() { RunGuarded(&TF::RawRun); }

void TF::RunGuarded(void (TF::*run)()) {
  if (running_) {
    QApplication::beep();  // a run is under way: no second one inside it
    return;
  }
  struct RunningFlag {
    TF& window;
    explicit RunningFlag(TF& w) : window(w) { window.running_ = true; }
    ~RunningFlag() {
      window.running_ = false;
      // A close or exit asked for during the run happens now that it ended.
      if (window.quitPending_) {
        window.quitPending_ = false;
        QCoreApplication::exit(window.batchExitCode_);
      }
      if (window.closePending_) {
        window.closePending_ = false;
        QTimer::singleShot(0, &window, [w = &window] { w->close(); });
      }
    }
  } flag(*this);
  show();
  QCoreApplication::processEvents();
  Mlog->clear();
  names_->WaitForReading();  // the names are read; the file is free for the run
  (this->*run)();
}

void TF::ExtractRun() {
  if (!components_) throw std::runtime_error("No database layer is available in this build");
  lastReport_.reset();
  lastReport_ = RunExtraction(*this, components_->Connection(), components_->Table());
}

void TF::RawRun() { RunRawExtraction(*this, IsEncryptedDatabase); }

void TF::MIexitClick() {
  if (running_) {
    quitPending_ = true;
    return;
  }
  QCoreApplication::exit(batchExitCode_);
}

void TF::closeEvent(QCloseEvent* event) {
  if (running_) {
    closePending_ = true;  // closing waits for the run to end
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TF::EdirChange() {
  const QFileInfo info(Edir->text());
  QPalette palette = Edir->palette();
  const bool exists = !Edir->text().isEmpty() && info.exists() && info.isDir();
  palette.setColor(QPalette::Text, exists ? QApplication::palette().color(QPalette::WindowText)
                                          : QColor(255, 0, 0));
  Edir->setPalette(palette);
}

void TF::EdirExit() {
  const QString text = Edir->text();
  if (!text.endsWith('/')) Edir->setText(text + '/');
}

void TF::PshowDblClick() {
  for (QCheckBox* box : {CBdeep, CBskip, CBext, CBdmp, CBlogin}) box->setVisible(box->isHidden());
  for (QWidget* control : std::initializer_list<QWidget*>{CBunwrap, CBnames, Emanifest})
    control->setVisible(control->isHidden());
}

void TF::AppIdle() {
  if (!FBatch) return;
  FBatch = false;
  batchExitCode_ = 1;  // stays 1 unless the run completes
  SaveScreenshot("before");
  DoExtract();
  batchExitCode_ = ExtractionExitStatus(lastReport_);
  SaveScreenshot("after");
  MIexitClick();
}

void TF::SaveScreenshot(const char* moment) {
  // For scripts/screenshot-window.sh: CORVID_SCREENSHOT_PREFIX=/dir/name
  // saves /dir/name-before.png (and name-options.png with the optional check
  // boxes shown) and /dir/name-after.png around a batch run.
  const QByteArray prefix = qgetenv("CORVID_SCREENSHOT_PREFIX");
  if (prefix.isEmpty()) return;
  show();
  QCoreApplication::processEvents();
  grab().save(QString::fromLocal8Bit(prefix) + "-" + moment + ".png", "PNG");
  if (std::string_view(moment) == "before") {
    // The same with the five optional check boxes shown.
    PshowDblClick();
    grab().save(QString::fromLocal8Bit(prefix) + "-options.png", "PNG");
    PshowDblClick();
  }
}

// ---- ParameterForm -------------------------------------------------------------

QLineEdit* TF::Edit(EditBox box) const {
  switch (box) {
    case EditBox::Emdb:
      return Emdb;
    case EditBox::Edir:
      return Edir;
    case EditBox::Etbl:
      return Etbl;
    case EditBox::Eimg:
      return Eimg;
    case EditBox::Efilter:
      return Efilter;
    case EditBox::Evalue:
      return Evalue;
    case EditBox::Efield1:
      return Efield1;
    case EditBox::Efield2:
      return Efield2;
    case EditBox::Efext:
      return Efext;
    case EditBox::Emanifest:
      return Emanifest;
  }
  return nullptr;
}

QCheckBox* TF::Check(CheckBox box) const {
  switch (box) {
    case CheckBox::CBfilter:
      return CBfilter;
    case CheckBox::CBext:
      return CBext;
    case CheckBox::CBlogin:
      return CBlogin;
    case CheckBox::CBdmp:
      return CBdmp;
    case CheckBox::CBskip:
      return CBskip;
    case CheckBox::CBdeep:
      return CBdeep;
    case CheckBox::CBunwrap:
      return CBunwrap;
    case CheckBox::CBnames:
      return CBnames;
  }
  return nullptr;
}

std::string TF::Text(EditBox box) const { return ToUtf8(Edit(box)->text()); }

void TF::SetText(EditBox box, std::string_view text) {
  QLineEdit* edit = Edit(box);
  const QString value = ToQString(text);
  if (edit->text() == value) {
    if (box == EditBox::Edir) EdirChange();  // the check runs even when nothing changed
    return;
  }
  edit->setText(value);
}

bool TF::Checked(CheckBox box) const { return Check(box)->isChecked(); }
void TF::SetChecked(CheckBox box, bool checked) { Check(box)->setChecked(checked); }
int TF::Top() const { return pos().y(); }
int TF::Left() const { return pos().x(); }
void TF::SetTop(int top) { move(pos().x(), top); }
void TF::SetLeft(int left) { move(left, pos().y()); }

// ---- RunHost ------------------------------------------------------------------

RunInputs TF::Inputs() const { return InputsFromForm(*this); }

void TF::AddLogLine(std::string_view line) { Mlog->appendPlainText(ToQString(line)); }

void TF::ShowStatus(std::string_view text, Colour colour) {
  if (colour != kKeepColour) {
    QPalette palette = Pstatus->palette();
    palette.setColor(QPalette::Window, ToQColor(colour, QApplication::palette()));
    Pstatus->setPalette(palette);
  }
  Pstatus->setText(ToQString(text));
  Pstatus->repaint();  // at once: a run keeps the event loop busy
}

void TF::SetBusyCursor(bool busy) {
  if (busy) {
    ++busyDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (busyDepth_ > 0) {
    --busyDepth_;
    QApplication::restoreOverrideCursor();
  }
}

void TF::ProcessMessages() { QCoreApplication::processEvents(); }
std::string TF::ProductName() const { return AppInfo().productName; }
std::string TF::FileVersion() const { return AppInfo().fileVersion; }

}  // namespace corvid
