#pragma once
// A record of the table, or one of its values, that cannot be read because
// the database file is damaged there. The database stays usable: the run
// logs the message, skips that record and reads on. what() names the table,
// page, row and field, as the database layer found them. Failures that are
// not damage (a missing table or field, an I/O error) are other exceptions.

#include <stdexcept>

namespace corvid {

class RecordDamageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace corvid
