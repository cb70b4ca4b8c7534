// The engine object and its workspaces: the default workgroup's account,
// connect texts for drivers that are not here, collections, and the COM
// apartment count that stands in for COM initialisation.

#include <gtest/gtest.h>

#include <thread>

#include "dao/com_apartment.h"
#include "dao/engine/dao_constants.h"
#include "tests/dao/test_engine_support.h"

namespace corvid::dao {
namespace {

using namespace corvid::dao::testing;

TEST(EngineWorkspace, OnlyAdminWithAnEmptyPasswordLogsIn) {
  auto engine = CreateEngineObject("DAO.DBEngine.120");
  EXPECT_NO_THROW(engine->CreateWorkspace("w", "Admin", "", dbUseJet));
  EXPECT_NO_THROW(engine->CreateWorkspace("w", "admin", "", dbUseJet));
  struct Login {
    const char* user;
    const char* password;
  };
  for (Login login :
       {Login{"Guest", ""}, Login{"Admin", "pw"}, Login{"", ""}, Login{"Admin ", ""}}) {
    try {
      engine->CreateWorkspace("w", login.user, login.password, dbUseJet);
      ADD_FAILURE() << login.user << "/" << login.password;
    } catch (const EngineError& error) {
      EXPECT_EQ(error.Number(), kNotValidAccount);
      EXPECT_STREQ(error.what(), "Not a valid account name or password.");
      ASSERT_EQ(engine->EngineErrors().Count(), 1);
      EXPECT_EQ(engine->EngineErrors().Item(0).number, kNotValidAccount);
    }
  }
}

TEST(EngineWorkspace, SystemDbIsKeptAndOtherwiseIgnored) {
  auto engine = CreateEngineObject("DAO.DBEngine.120");
  engine->SetSystemDB("/nowhere/system.mdw");
  EXPECT_EQ(engine->SystemDB(), "/nowhere/system.mdw");
  auto workspace = engine->CreateWorkspace("DaoWorkspace", "Admin", "", dbUseJet);
  EXPECT_EQ(workspace->Name(), "DaoWorkspace");
  EXPECT_NO_THROW(workspace->OpenDatabase(kFixtures + "nwind.mdb", 0, false, ";UID=Admin;PWD=;"));
}

TEST(EngineWorkspace, ConnectTextsForDriversThatAreNotHere) {
  EngineSession session;
  struct Case {
    std::string connect;
    int number;
  };
  for (const Case& c :
       {Case{"ODBC;DSN=Sales;", kOdbcCallFailed}, Case{"odbc;", kOdbcCallFailed},
        Case{"dBase 5.0;", kIsamNotFound}, Case{"Excel 8.0;UID=a;PWD=b;", kIsamNotFound}}) {
    try {
      session.workspace->OpenDatabase(kFixtures + "nwind.mdb", 0, false, c.connect);
      ADD_FAILURE() << c.connect;
    } catch (const EngineError& error) {
      EXPECT_EQ(error.Number(), c.number) << c.connect;
    }
  }
  // Access connect texts, with or without the keys and in any order.
  for (const char* connect : {";UID=;PWD=;", ";UID=Admin;PWD=;extra=1", "", ";PWD=", "MS Access;"})
    EXPECT_NO_THROW(session.workspace->OpenDatabase(kFixtures + "nwind.mdb", 0, false, connect))
        << connect;

  auto odbc = session.engine->CreateWorkspace("direct", "Admin", "", dbUseODBC);
  EXPECT_THROW(odbc->OpenConnection("Sales", 1, false, "ODBC;DSN=Sales;"), EngineError);
  EXPECT_THROW(odbc->OpenDatabase(kFixtures + "nwind.mdb", 0, false, ""), EngineError);
}

TEST(EngineWorkspace, CollectionsOfEngineAndWorkspace) {
  EngineSession session;
  EXPECT_EQ(session.engine->Workspaces().Count(), 0);
  session.engine->Workspaces().Append(session.workspace);
  EXPECT_EQ(session.engine->Workspaces().Count(), 1);
  EXPECT_EQ(&session.engine->Workspaces().Item("daoworkspace"), session.workspace.get());
  session.engine->Workspaces().Refresh();
  session.engine->EngineErrors().Refresh();
  session.engine->Idle(dbFreeLocks);
  session.engine->Idle(dbRefreshCache);

  auto a = session.Open(kFixtures + "nwind.mdb");
  auto b = session.Open(kFixtures + "testV2003.mdb");
  EXPECT_EQ(session.workspace->Databases().Count(), 2);
  a->Close();
  EXPECT_EQ(session.workspace->Databases().Count(), 1);
  session.workspace->Close();  // closes what is still open
  EXPECT_EQ(session.workspace->Databases().Count(), 0);
  EXPECT_THROW(b->TableDefs(), EngineError);
  EXPECT_GE(session.workspace->Users().Count(), 1);
  EXPECT_GE(session.workspace->Groups().Count(), 1);
  EXPECT_EQ(session.engine->EngineProperties().Item("version").value, Variant(std::string("12.0")));
}

TEST(ComApartment, InitialiseAndUninitialiseStayBalancedPerThread) {
  const int start = ApartmentCount();
  EXPECT_EQ(CoInitializeApartment(), start == 0 ? kS_OK : kS_FALSE);
  EXPECT_EQ(CoInitializeApartment(), kS_FALSE);
  EXPECT_EQ(ApartmentCount(), start + 2);
  {
    ComApartment guard;
    EXPECT_EQ(ApartmentCount(), start + 3);
  }
  std::thread other([] {
    EXPECT_EQ(ApartmentCount(), 0);  // each thread has its own apartment
    EXPECT_EQ(CoInitializeApartment(), kS_OK);
    CoUninitializeApartment();
  });
  other.join();
  CoUninitializeApartment();
  CoUninitializeApartment();
  EXPECT_EQ(ApartmentCount(), start);
  CoUninitializeApartment();  // an extra call never goes below zero
  CoUninitializeApartment();
  EXPECT_EQ(ApartmentCount(), 0);
}

}  // namespace
}  // namespace corvid::dao
