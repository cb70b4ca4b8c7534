#pragma once
// Column metadata and value decoding for rows cracked by libmdb. Values are
// read from libmdb's page buffer, which must hold the row's page; long values
// (Memo, OLE Object) follow their page chain through the alternate buffer.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dao/engine/variant.h"
#include "dao/mdb/libmdb.h"
#include "dao/mdb/mdb_header.h"

namespace corvid::dao {

class AccessFile;

int DaoTypeOf(const MdbColumn& column);
std::int32_t DaoSizeOf(const MdbColumn& column, MdbFormat format);
std::int32_t DaoAttributesOf(const MdbColumn& column);
bool IsLongValue(const MdbColumn& column);  // Memo and OLE Object

// The value of a cracked field. Raises std::runtime_error when a long value's
// pages are damaged.
Variant DecodeValue(AccessFile& file, const MdbColumn& column, const MdbField& field);
// Byte length of a long binary value from its header, without reading it.
std::int64_t LongValueLength(AccessFile& file, const MdbField& field);
// The long value's bytes into `into` (resized to its length); one copy from
// each page.
void ReadLongValue(AccessFile& file, const MdbField& field, std::vector<std::byte>& into);

// "{guid {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}}" from the 16 stored bytes.
std::string GuidText(const unsigned char* bytes);

}  // namespace corvid::dao
