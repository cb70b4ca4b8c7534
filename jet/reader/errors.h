// What the reader throws and what it reports. A file that is no Jet or ACE
// database (or uses a layout the reader does not know) is a FormatError; a
// structure that contradicts itself is a DamageError naming the table,
// page, row and field it was found in. Problems the reader can read past
// (a bad page, a bad row) go into a DamageReport instead.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvid::jet::reader {

class JetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FormatError : public JetError {
 public:
  using JetError::JetError;
};

// An encrypted file opened without its password or with a wrong one (the
// check runs before any page is decrypted).
class PasswordError : public JetError {
 public:
  using JetError::JetError;
};

// An encrypted file whose scheme the reader does not decrypt; what() names
// the scheme.
class UnsupportedEncryptionError : public FormatError {
 public:
  using FormatError::FormatError;
};

// Where a problem was found; every part is optional.
struct DamageLocation {
  std::string table{};
  std::optional<std::uint32_t> page{};
  std::optional<int> row{};
  std::string field{};

  std::string Text() const;  // "table \"T\", page 12, row 3, field \"F\""
};

class DamageError : public JetError {
 public:
  DamageError(std::string what, DamageLocation where = {});

  const std::string& Problem() const { return problem_; }
  const DamageLocation& Where() const { return where_; }

  // The same problem with the parts of `outer` this error does not name yet.
  DamageError Within(const DamageLocation& outer) const;

 private:
  std::string problem_;
  DamageLocation where_;
};

struct Damage {
  DamageLocation where;
  std::string problem;

  std::string Text() const;
};

// Problems found while reading on past them; kept in the order found. The
// number of entries is capped so that a file of garbage cannot grow it
// without bound (the count goes on).
class DamageReport {
 public:
  void Add(const DamageLocation& where, std::string problem);
  void Add(const DamageError& error) { Add(error.Where(), error.Problem()); }

  const std::vector<Damage>& Entries() const { return entries_; }
  std::size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  static constexpr std::size_t kMaxEntries = 10000;

 private:
  std::vector<Damage> entries_;
  std::size_t count_ = 0;
};

}  // namespace corvid::jet::reader
