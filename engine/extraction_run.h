#pragma once
// The extraction run: connect, walk the table, recognise and write each blob.

#include <cstdint>
#include <functional>

#include "engine/database_ports.h"
#include "engine/run_host.h"
#include "engine/run_report.h"

namespace corvid {

// Runs one extraction with the host's current inputs. A failed connection is
// the only failure that escapes (as the connection's exception); any later
// failure ends the run early: the table is closed, the database disconnected,
// the failure's message is logged and shown in red, and the report says so.
// `progress`, when set, is called after every record with the number of
// records visited so far.
RunReport RunExtraction(RunHost& host, DatabaseConnection& connection, RecordTable& table,
                        const std::function<void(std::int64_t)>& progress = {});

}  // namespace corvid
