#include "frontend/name_completion.h"

#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>

#include <sys/stat.h>

#include "SrcLib/text_case.h"
#include "dao/dao_database.h"
#include "dao/database_map.h"
#include "frontend/dao_components.h"

namespace corvid {
namespace {

QString Q(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

QCompleter* MakeCompleter(QStringListModel* model, QObject* parent) {
  auto* completer = new QCompleter(model, parent);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  return completer;
}

}  // namespace

DatabaseNames ReadDatabaseNames(const std::string& path) {
  std::unique_ptr<TVxDaoDatabase> connection = MakeDatabaseComponent();
  MapOptions options;
  options.documents = false;
  const DatabaseMap map = MapDatabaseFile(*connection, path, options);
  DatabaseNames names;
  for (const TableMap& table : map.tables) {
    TableColumns entry{table.name, {}};
    for (const ColumnMap& column : table.columns) entry.columns.push_back(column.name);
    names.push_back(std::move(entry));
  }
  return names;
}

NameCompletion::NameCompletion(QObject* parent, NameReader reader)
    : QObject(parent),
      reader_(std::move(reader)),
      tableModel_(new QStringListModel(this)),
      fieldModel_(new QStringListModel(this)),
      tableCompleter_(MakeCompleter(tableModel_, this)) {
  // One read at a time: a newer request waits for the older one, which then
  // ends at once or is dropped.
  pool_.setMaxThreadCount(1);
}

NameCompletion::~NameCompletion() {
  generation_ = generation_ + 1;  // whatever is queued ends without reading
  pool_.waitForDone();
}

void NameCompletion::Attach(QLineEdit* tableBox, const std::vector<QLineEdit*>& fieldBoxes) {
  tableBox->setCompleter(tableCompleter_);
  // A completer serves one box at a time; each field box gets its own over
  // the same list.
  for (QLineEdit* box : fieldBoxes) box->setCompleter(MakeCompleter(fieldModel_, box));
}

void NameCompletion::DatabaseChanged(const std::string& path) {
  const std::uint64_t generation = ++generation_;
  names_.clear();
  tableModel_->setStringList({});
  fieldModel_->setStringList({});
  if (!IsFile(path)) return;
  pool_.start([this, generation, path] {
    if (generation_ != generation) return;  // the box changed again meanwhile
    DatabaseNames names;
    try {
      names = reader_(path);
    } catch (...) {
      return;  // not a database we can read: the lists stay empty
    }
    QMetaObject::invokeMethod(
        this, [this, generation, names = std::move(names)] { Deliver(generation, names); },
        Qt::QueuedConnection);
  });
}

void NameCompletion::Deliver(std::uint64_t generation, const DatabaseNames& names) {
  if (generation != generation_) return;  // for an older database box text
  names_ = names;
  QStringList tables;
  for (const TableColumns& table : names_) tables << Q(table.table);
  tableModel_->setStringList(tables);
  FillColumns();
  emit ListsFilled();
}

void NameCompletion::TableChanged(const std::string& table) {
  table_ = table;
  FillColumns();
}

void NameCompletion::FillColumns() {
  QStringList columns;
  for (const TableColumns& entry : names_) {
    if (!SameText(entry.table, table_)) continue;
    for (const std::string& column : entry.columns) columns << Q(column);
    break;
  }
  fieldModel_->setStringList(columns);
}

void NameCompletion::WaitForReading() { pool_.waitForDone(); }

QStringList NameCompletion::TableNames() const { return tableModel_->stringList(); }
QStringList NameCompletion::ColumnNames() const { return fieldModel_->stringList(); }

}  // namespace corvid
