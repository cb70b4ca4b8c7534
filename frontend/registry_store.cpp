#include "frontend/registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvid {
namespace {

constexpr char kRootName[] = "HKEY_CURRENT_USER";

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::vector<std::string> KeyParts(std::string_view keyPath) {
  std::vector<std::string> parts;
  while (!keyPath.empty()) {
    const std::size_t sep = keyPath.find('\\');
    std::string_view part = keyPath.substr(0, sep);
    if (!part.empty()) parts.emplace_back(part);
    if (sep == std::string_view::npos) break;
    keyPath.remove_prefix(sep + 1);
  }
  return parts;
}

// A key name as a file-name component: "%" and a leading "." are escaped so
// that no key maps to "." or ".." or to a hidden file.
std::string FileComponent(std::string_view part) {
  std::string out;
  for (std::size_t i = 0; i < part.size(); ++i) {
    const char c = part[i];
    if (c == '%' || (c == '.' && i == 0)) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[5];
          std::snprintf(buf, sizeof buf, "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at the front of `line`, consuming it.
bool Unquote(std::string_view& line, std::string& out) {
  if (line.empty() || line.front() != '"') return false;
  out.clear();
  std::size_t i = 1;
  while (i < line.size()) {
    const char c = line[i++];
    if (c == '"') {
      line.remove_prefix(i);
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= line.size()) return false;
    const char e = line[i++];
    switch (e) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (i + 2 > line.size()) return false;
        const int hi = HexDigit(line[i]), lo = HexDigit(line[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool ParseHexNumber(std::string_view digits, std::size_t byteCount, std::string& out) {
  if (digits.size() != byteCount * 2) return false;
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<unsigned>(d);
  }
  out.clear();
  for (std::size_t i = 0; i < byteCount; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return true;
}

bool ParseHexBytes(std::string_view text, std::string& out) {
  out.clear();
  while (!text.empty()) {
    if (text.size() < 2) return false;
    const int hi = HexDigit(text[0]), lo = HexDigit(text[1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    text.remove_prefix(2);
    if (!text.empty()) {
      if (text.front() != ',') return false;
      text.remove_prefix(1);
    }
  }
  return true;
}

std::string HexNumber(const std::string& data) {
  std::string out;
  char buf[3];
  for (std::size_t i = data.size(); i-- > 0;) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
    out += buf;
  }
  return out;
}

std::string HexBytes(const std::string& data) {
  std::string out;
  char buf[3];
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
    out += buf;
  }
  return out;
}

std::string Serialise(RegistryValueType type, const std::string& data) {
  switch (type) {
    case RegistryValueType::String:
      return Quote(data);
    case RegistryValueType::ExpandString:
      return "expand:" + Quote(data);
    case RegistryValueType::DWord:
      return "dword:" + HexNumber(data);
    case RegistryValueType::QWord:
      return "qword:" + HexNumber(data);
    case RegistryValueType::Binary:
      return "hex:" + HexBytes(data);
  }
  return {};
}

bool ParseValue(std::string_view text, RegistryValue& value) {
  auto startsWith = [&](std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
  };
  if (!text.empty() && text.front() == '"') {
    value.type = RegistryValueType::String;
    return Unquote(text, value.data) && text.empty();
  }
  if (startsWith("expand:")) {
    value.type = RegistryValueType::ExpandString;
    return Unquote(text, value.data) && text.empty();
  }
  if (startsWith("dword:")) {
    value.type = RegistryValueType::DWord;
    return ParseHexNumber(text, 4, value.data);
  }
  if (startsWith("qword:")) {
    value.type = RegistryValueType::QWord;
    return ParseHexNumber(text, 8, value.data);
  }
  if (startsWith("hex:")) {
    value.type = RegistryValueType::Binary;
    return ParseHexBytes(text, value.data);
  }
  return false;
}

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

bool MakeDirectories(const std::string& directory) {
  std::size_t pos = 1;
  while (true) {
    pos = directory.find('/', pos);
    const std::string prefix = directory.substr(0, pos);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) break;
    ++pos;
  }
  struct stat info {};
  return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string RegistryRootDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

std::string RegistryKeyFile(std::string_view keyPath) {
  std::vector<std::string> parts = KeyParts(keyPath);
  if (!parts.empty() && SameName(parts.front(), "Software")) parts.erase(parts.begin());
  std::string file = RegistryRootDirectory();
  if (parts.empty()) return file + "/" + FileComponent("") + ".reg";
  for (const std::string& part : parts) file += "/" + FileComponent(part);
  return file + ".reg";
}

std::unique_ptr<RegistryKey> RegistryKey::Open(std::string_view keyPath, bool canCreate) {
  std::string path;
  for (const std::string& part : KeyParts(keyPath)) path += "\\" + part;
  std::unique_ptr<RegistryKey> key(new RegistryKey(path, RegistryKeyFile(keyPath)));
  if (key->Load()) return key;
  if (!canCreate || errno != ENOENT) return nullptr;
  if (!MakeDirectories(key->file_.substr(0, key->file_.rfind('/')))) return nullptr;
  if (!key->Store()) return nullptr;
  return key;
}

bool RegistryKey::Load() {
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;  // errno tells whether the key is missing
  std::string content;
  char buffer[4096];
  bool ok = true;
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (!ok) {
    errno = EIO;
    return false;
  }
  values_.clear();
  std::istringstream in(content);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string_view rest = line;
    if (rest.empty() || rest.front() != '"') continue;  // comments, the key line, blanks
    Named named;
    if (!Unquote(rest, named.name) || rest.empty() || rest.front() != '=') continue;
    rest.remove_prefix(1);
    if (!ParseValue(rest, named.value)) continue;  // a damaged line is dropped
    bool replaced = false;
    for (Named& existing : values_) {
      if (SameName(existing.name, named.name)) {
        existing.value = named.value;
        replaced = true;
      }
    }
    if (!replaced) values_.push_back(std::move(named));
  }
  return true;
}

bool RegistryKey::Store() const {
  std::ostringstream text;
  text << "; Corvid per-user settings (value names and types as in the registry)\n";
  text << "[" << kRootName << path_ << "]\n";
  for (const Named& named : values_) {
    text << Quote(named.name) << "=" << Serialise(named.value.type, named.value.data) << "\n";
  }
  const std::string content = text.str();

  const std::string directory = file_.substr(0, file_.rfind('/'));
  std::string temp = directory + "/.corvid-settings-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
  std::size_t done = 0;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), file_.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

const RegistryValue* RegistryKey::Find(std::string_view name) const {
  for (const Named& named : values_) {
    if (SameName(named.name, name)) return &named.value;
  }
  return nullptr;
}

bool RegistryKey::ValueExists(std::string_view name) const { return Find(name) != nullptr; }

std::int32_t RegistryKey::ReadInteger(std::string_view name) const {
  const RegistryValue* value = Find(name);
  if (!value) throw RegistryError("Failed to get data for " + Quoted(name));
  const bool isText =
      value->type == RegistryValueType::String || value->type == RegistryValueType::ExpandString;
  if (!isText && value->data.size() > 4)
    throw RegistryError("Failed to get data for " + Quoted(name));
  if (value->type != RegistryValueType::DWord)
    throw RegistryError("Invalid data type for " + Quoted(name));
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < value->data.size(); ++i) {
    bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->data[i])) << (8 * i);
  }
  return static_cast<std::int32_t>(bits);
}

std::string RegistryKey::ReadString(std::string_view name) const {
  const RegistryValue* value = Find(name);
  if (!value) throw RegistryError("Failed to get data for " + Quoted(name));
  if (value->type != RegistryValueType::String && value->type != RegistryValueType::ExpandString) {
    throw RegistryError("Invalid data type for " + Quoted(name));
  }
  return value->data.substr(0, value->data.find('\0'));
}

void RegistryKey::WriteValue(std::string_view name, RegistryValue value) {
  const std::vector<Named> before = values_;
  bool replaced = false;
  for (Named& named : values_) {
    if (SameName(named.name, name)) {
      named.value = value;
      replaced = true;
      break;
    }
  }
  if (!replaced) values_.push_back(Named{std::string(name), std::move(value)});
  if (!Store()) {
    values_ = before;
    throw RegistryError("Failed to set data for " + Quoted(name));
  }
}

void RegistryKey::WriteInteger(std::string_view name, std::int32_t value) {
  std::string data;
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) data += static_cast<char>((bits >> (8 * i)) & 0xFF);
  WriteValue(name, RegistryValue{RegistryValueType::DWord, std::move(data)});
}

void RegistryKey::WriteString(std::string_view name, std::string_view value) {
  WriteValue(name, RegistryValue{RegistryValueType::String, std::string(value)});
}

std::vector<std::string> RegistryKey::ValueNames() const {
  std::vector<std::string> names;
  for (const Named& named : values_) names.push_back(named.name);
  return names;
}

}  // namespace corvid
