#pragma once
// What the connection needs of a table that is open on it. A table registers
// itself in the connection's ActiveTables when it opens and unregisters when
// it closes; at disconnect the connection marks each registered table as being
// closed by its database (so it does not unregister itself) and deactivates it.

namespace corvid {

class TVxDaoDatabase;

class AttachedTable {
 public:
  virtual ~AttachedTable() = default;

  // Marks (true) or unmarks the table as being closed by its database.
  virtual void SetClosingByDatabase(bool closing) = 0;
  // Makes the table inactive (closes its recordset). May throw; the
  // connection ignores the error and goes on with the next table.
  virtual void DeactivateForDatabase() = 0;
  // The connection is being destroyed: drop any reference to it. Called for
  // every table that registered with AddClient, open or not.
  virtual void DatabaseDestroyed(TVxDaoDatabase& database) = 0;
};

}  // namespace corvid
