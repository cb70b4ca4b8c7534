#include "frontend/parameter_form.h"

namespace corvid {

std::string_view DesignText(EditBox box) {
  switch (box) {
    case EditBox::Emdb:
      return "*.mdb";
    case EditBox::Edir:
      return "/tmp/";
    case EditBox::Etbl:
      return "table";
    case EditBox::Eimg:
      return "img";
    case EditBox::Efilter:
      return "filter";
    case EditBox::Evalue:
      return "*";
    case EditBox::Efield1:
      return "id";
    case EditBox::Efield2:
      return "";
    case EditBox::Efext:
      return "";
    case EditBox::Emanifest:
      return "";
  }
  return "";
}

RunInputs InputsFromForm(const ParameterForm& form) {
  RunInputs in;
  in.database = form.Text(EditBox::Emdb);
  in.table = form.Text(EditBox::Etbl);
  in.blobField = form.Text(EditBox::Eimg);
  in.nameField1 = form.Text(EditBox::Efield1);
  in.nameField2 = form.Text(EditBox::Efield2);
  in.extensionField = form.Text(EditBox::Efext);
  in.filterField = form.Text(EditBox::Efilter);
  in.filterValue = form.Text(EditBox::Evalue);
  in.outputDirectory = form.Text(EditBox::Edir);
  in.loginPrompt = form.Checked(CheckBox::CBlogin);
  in.filterAsDirectory = form.Checked(CheckBox::CBfilter);
  in.nameFromField1 = form.Checked(CheckBox::CBext);
  in.dumpCopy = form.Checked(CheckBox::CBdmp);
  in.skipUnknown = form.Checked(CheckBox::CBskip);
  in.deepSearch = form.Checked(CheckBox::CBdeep);
  in.unwrap = form.Checked(CheckBox::CBunwrap);
  in.embeddedNames = form.Checked(CheckBox::CBnames);
  in.manifestPath = form.Text(EditBox::Emanifest);
  return in;
}

PlainForm::PlainForm() {
  for (int i = 0; i < kEditBoxCount; ++i)
    texts_[i] = std::string(DesignText(static_cast<EditBox>(i)));
}

std::string PlainForm::Text(EditBox box) const { return texts_[static_cast<int>(box)]; }
void PlainForm::SetText(EditBox box, std::string_view text) {
  texts_[static_cast<int>(box)] = std::string(text);
}
bool PlainForm::Checked(CheckBox box) const { return checks_[static_cast<int>(box)]; }
void PlainForm::SetChecked(CheckBox box, bool checked) { checks_[static_cast<int>(box)] = checked; }

void PlainForm::ShowStatus(std::string_view text, Colour colour) {
  status_ = std::string(text);
  if (onStatus) onStatus(text, colour);
}

}  // namespace corvid
