#pragma once
// The extraction engine: the two runs and the ports they reach the database,
// the window and the file system through.

#include "engine/database_ports.h"
#include "engine/extraction_run.h"
#include "engine/field_index.h"
#include "engine/raw_extraction.h"
#include "engine/run_host.h"
#include "engine/run_report.h"
