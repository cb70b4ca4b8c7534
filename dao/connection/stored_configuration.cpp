#include "dao/connection/stored_configuration.h"

#include "dao/dao_database.h"

namespace corvid {

void ApplyStoredDatabaseConfiguration(TVxDaoDatabase& db) {
  db.F_Set_ComponentVersion("11.00");
  db.F_Set_Exclusive(true);
  db.F_Set_ReadOnly(false);
  db.F_Set_LoginPrompt(false);
  db.F_Set_UserName("Admin");
  db.F_Set_UseODBCDialog(true);
  db.F_Set_SystemDatabase("system.mdb");
  db.F_Set_SaveUserName(true);
  db.F_Set_ShowSystemObjects(false);
  db.F_Set_SmartOpen(true);
  db.F_Set_EngineType(2);
  db.F_Set_PrivateEngine(false);
  db.F_Set_TrackTransactions(true);
  db.F_Set_UsesDynaDao(true);
  db.F_Set_Version("3.6");
  db.F_Set_VersionDetails("3.6");
  db.F_Set_VersionInfo("(In Access'2000 mode)");
  db.F_Set_Workspace("DaoWorkspace");
  db.F_Set_DefaultCursorDriver(-1);
  db.F_Set_QueryTimeout(60);
  db.F_Set_MdbVersionAutoDetect(false);
}

}  // namespace corvid
