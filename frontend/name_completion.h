#pragma once
// Completion lists for the window's name boxes: once the database box names
// a readable database, the table box offers its table names and the field
// boxes the column names of the table the table box names. The names are read
// in a worker thread (the file is opened, read and closed there, so no lock
// of it is held while the window waits) and handed to the window thread by a
// queued call; results for an older database box text are dropped. Typing
// stays free: the lists only offer.

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCompleter;
class QLineEdit;
class QStringListModel;

namespace corvid {

struct TableColumns {
  std::string table;
  std::vector<std::string> columns;
};
using DatabaseNames = std::vector<TableColumns>;

// Reads the names of a database file; throws when it cannot. Runs in the
// worker thread.
using NameReader = std::function<DatabaseNames(const std::string& path)>;

// The names through the DAO engine (environment login values, no prompt).
DatabaseNames ReadDatabaseNames(const std::string& path);

class NameCompletion : public QObject {
  Q_OBJECT

 public:
  explicit NameCompletion(QObject* parent = nullptr, NameReader reader = ReadDatabaseNames);
  // Waits for a read under way: the worker uses nothing of the window.
  ~NameCompletion() override;

  // Offers the table names in `tableBox` and the column names in `fieldBoxes`.
  void Attach(QLineEdit* tableBox, const std::vector<QLineEdit*>& fieldBoxes);

  // The database box's text changed: the lists are emptied and, when it
  // names an existing file, read again.
  void DatabaseChanged(const std::string& path);
  // The table box's text changed: the field lists follow it.
  void TableChanged(const std::string& table);

  // Blocks until no read is under way (before a run opens the file).
  void WaitForReading();

  QStringList TableNames() const;
  QStringList ColumnNames() const;
  QCompleter* TableCompleter() const { return tableCompleter_; }

 signals:
  // The lists hold the names of the database the box names now.
  void ListsFilled();

 private:
  void Deliver(std::uint64_t generation, const DatabaseNames& names);
  void FillColumns();

  NameReader reader_;
  QThreadPool pool_;
  std::atomic<std::uint64_t> generation_{0};
  DatabaseNames names_;
  std::string table_;
  QStringListModel* tableModel_;
  QStringListModel* fieldModel_;
  QCompleter* tableCompleter_;
};

}  // namespace corvid
