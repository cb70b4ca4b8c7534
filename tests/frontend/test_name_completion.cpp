// The completion lists of the table and field boxes: filled from the
// database the database box names, in the background, without keeping the
// file from a run, and never with the names of a database the box no longer
// names.

#include "frontend/name_completion.h"

#include <QAbstractItemModel>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "SrcLib/exe_path.h"
#include "SrcLib/oAppInfo.h"
#include "frontend/dao_components.h"
#include "frontend/error_report.h"
#include "frontend/main_window.h"
#include "jet/mdb_writer.h"
#include "temp_config.h"
#include "window_doubles.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
namespace mw = corvid::jet;
using ::testing::ElementsAre;
using testing::TempConfigHome;
using testing::TempDirectory;
using ::testing::UnorderedElementsAre;

std::vector<std::string> Strings(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& text : list) out.push_back(text.toStdString());
  return out;
}

// What a box's completer offers.
std::vector<std::string> Offered(QLineEdit* box) {
  auto* model = qobject_cast<QStringListModel*>(box->completer()->model());
  return model ? Strings(model->stringList()) : std::vector<std::string>{"(no list)"};
}

void WriteDatabase(const std::string& path) {
  mw::MdbWriter writer(path);
  auto& photos = writer.AddTable({"Photos",
                                  {{"id", mw::ColumnType::Long},
                                   {"img", mw::ColumnType::OleObject},
                                   {"title", mw::ColumnType::Text}}});
  const std::string gif =
      std::string("GIF89a\x02\x00\x02\x00\x80\x00\x00", 13) + std::string(40, '\x11') + ";";
  mw::Bytes bytes;
  for (const char c : gif) bytes.push_back(static_cast<std::byte>(c));
  photos.AddRow({std::int64_t{7}, bytes, std::string("seven")});
  writer.AddTable({"Notes", {{"nid", mw::ColumnType::Long}, {"body", mw::ColumnType::Memo}}});
  writer.Finish();
}

class NameLists : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    InitialiseExePath("/usr/bin/corvid");
    AppInfo() = TAppInfo();
    SetErrorReporter([this](std::string_view message) { errors_.emplace_back(message); });
  }
  void TearDown() override { SetErrorReporter({}); }

  TempConfigHome config_;
  TempDirectory dir_;
  std::vector<std::string> errors_;
};

TEST_F(NameLists, WindowOffersTablesAndTheChosenTablesFieldsThenRunsOnTheFile) {
  const std::string db = dir_.Path() + "/photos.mdb";
  WriteDatabase(db);
  TF window({}, std::make_unique<DaoComponents>());
  window.FormCreate();
  QSignalSpy filled(&window.Names(), &NameCompletion::ListsFilled);
  window.Etbl->setText("photos");  // letter case does not matter
  window.Emdb->setText(QString::fromStdString(db));
  ASSERT_TRUE(filled.wait(10000));

  EXPECT_THAT(Offered(window.Etbl), UnorderedElementsAre("Photos", "Notes"));
  for (QLineEdit* box : {window.Eimg, window.Efield1, window.Efield2, window.Efilter}) {
    SCOPED_TRACE(box->objectName().toStdString());
    EXPECT_THAT(Offered(box), ElementsAre("id", "img", "title"));
  }
  window.Etbl->completer()->setCompletionPrefix("no");
  EXPECT_EQ(window.Etbl->completer()->currentCompletion().toStdString(), "Notes");
  window.Etbl->setText("Notes");
  EXPECT_THAT(Offered(window.Efield1), ElementsAre("nid", "body"));
  window.Etbl->setText("No such table");  // typing stays free; nothing to offer
  EXPECT_EQ(window.Etbl->text().toStdString(), "No such table");
  EXPECT_THAT(Offered(window.Eimg), ElementsAre());

  // The lists are read and the file closed: the run opens it exclusively.
  window.Etbl->setText("Photos");
  window.Eimg->setText("img");
  window.Efield1->setText("id");
  window.Efield2->setText("");
  window.Efilter->setText("title");
  window.Evalue->setText("*");
  window.Edir->setText(QString::fromStdString(dir_.Path() + "/out/"));
  window.DoExtract();
  ASSERT_TRUE(window.LastReport().has_value()) << (errors_.empty() ? "" : errors_.front());
  EXPECT_TRUE(window.LastReport()->completed);
  EXPECT_TRUE(fs::exists(dir_.Path() + "/out/7.gif"));
  EXPECT_TRUE(errors_.empty()) << errors_.front();
}

// A run started while the names are still being read waits for the reading
// and then opens the file.
TEST_F(NameLists, RunStartedDuringReadingWaitsForIt) {
  const std::string db = dir_.Path() + "/photos.mdb";
  WriteDatabase(db);
  TF window({}, std::make_unique<DaoComponents>());
  window.FormCreate();
  window.Etbl->setText("Photos");
  window.Eimg->setText("img");
  window.Efield1->setText("id");
  window.Efield2->setText("");
  window.Efilter->setText("title");
  window.Evalue->setText("*");
  window.Edir->setText(QString::fromStdString(dir_.Path() + "/out/"));
  window.Emdb->setText(QString::fromStdString(db));  // reading starts
  window.DoExtract();                                // at once
  ASSERT_TRUE(window.LastReport().has_value()) << (errors_.empty() ? "" : errors_.front());
  EXPECT_TRUE(window.LastReport()->completed);
  EXPECT_TRUE(fs::exists(dir_.Path() + "/out/7.gif"));
}

TEST_F(NameLists, WhatIsNoReadableDatabaseEmptiesTheLists) {
  const std::string db = dir_.Path() + "/photos.mdb";
  WriteDatabase(db);
  const std::string text = dir_.Path() + "/notes.mdb";
  std::ofstream(text) << "this is not an Access database\n";
  QLineEdit tableBox, fieldBox;
  NameCompletion names;
  names.Attach(&tableBox, {&fieldBox});
  names.TableChanged("Photos");
  QSignalSpy filled(&names, &NameCompletion::ListsFilled);
  names.DatabaseChanged(db);
  ASSERT_TRUE(filled.wait(10000));
  EXPECT_EQ(names.TableNames().size(), 2);
  EXPECT_THAT(Offered(&fieldBox), ElementsAre("id", "img", "title"));

  for (const std::string& path : {text, dir_.Path(), dir_.Path() + "/missing.mdb", std::string()}) {
    SCOPED_TRACE(path);
    names.DatabaseChanged(db);
    names.DatabaseChanged(path);
    names.WaitForReading();
    QCoreApplication::processEvents();
    EXPECT_TRUE(names.TableNames().isEmpty());
    EXPECT_TRUE(names.ColumnNames().isEmpty());
    EXPECT_THAT(Offered(&fieldBox), ElementsAre());
  }
  EXPECT_EQ(filled.count(), 1);
  EXPECT_TRUE(errors_.empty());  // nothing is reported: the lists only offer
}

// The box changes while an older file is being read: the older names are
// dropped when they arrive, the newer ones fill the lists.
TEST_F(NameLists, NamesOfAnOlderDatabaseBoxTextAreDropped) {
  const std::string older = dir_.Path() + "/older.mdb", newer = dir_.Path() + "/newer.mdb";
  std::ofstream(older) << "x";
  std::ofstream(newer) << "y";
  std::atomic<bool> olderEntered{false}, releaseOlder{false};
  NameCompletion names(nullptr, [&](const std::string& path) {
    if (path == older) {
      olderEntered = true;
      while (!releaseOlder) std::this_thread::yield();
      return DatabaseNames{{"OldTable", {"old"}}};
    }
    return DatabaseNames{{"NewTable", {"new1", "new2"}}};
  });
  names.TableChanged("newtable");
  std::vector<std::vector<std::string>> seen;
  QObject::connect(&names, &NameCompletion::ListsFilled,
                   [&] { seen.push_back(Strings(names.TableNames())); });
  QSignalSpy filled(&names, &NameCompletion::ListsFilled);

  names.DatabaseChanged(older);
  QTRY_VERIFY(olderEntered.load());
  names.DatabaseChanged(newer);
  releaseOlder = true;
  ASSERT_TRUE(filled.wait(10000));
  names.WaitForReading();
  QCoreApplication::processEvents();
  EXPECT_THAT(seen, ElementsAre(ElementsAre("NewTable")));
  EXPECT_THAT(Strings(names.ColumnNames()), ElementsAre("new1", "new2"));
}

// A run waits for a read under way: the read may hold the file.
TEST_F(NameLists, WaitForReadingReturnsOnlyWhenTheReadIsOver) {
  const std::string file = dir_.Path() + "/held.mdb";
  std::ofstream(file) << "x";
  std::atomic<bool> entered{false}, release{false}, done{false};
  NameCompletion names(nullptr, [&](const std::string&) {
    entered = true;
    while (!release) std::this_thread::yield();
    done = true;
    return DatabaseNames{};
  });
  names.DatabaseChanged(file);
  QTRY_VERIFY(entered.load());
  std::thread releaser([&] { release = true; });
  names.WaitForReading();
  EXPECT_TRUE(done.load());
  releaser.join();
}

}  // namespace
}  // namespace corvid
