#include "frontend/database_encryption.h"

#include "jet/reader/errors.h"
#include "jet/reader/header_page.h"

namespace corvid {

bool IsEncryptedDatabase(std::span<const std::byte> firstBytes) {
  try {
    return jet::reader::ParseHeaderPage(firstBytes).officeEncrypted;
  } catch (const jet::reader::JetError&) {
    return false;  // not a database the reader knows: raw carving reads any file
  }
}

}  // namespace corvid
