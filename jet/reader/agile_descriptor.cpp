#include "jet/reader/agile_descriptor.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <openssl/evp.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

constexpr std::string_view kEncryptionNamespace =
    "http://schemas.microsoft.com/office/2006/encryption";
constexpr std::string_view kPasswordNamespace =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

[[noreturn]] void Damaged(const std::string& what) {
  throw FormatError("the encryption descriptor is damaged: " + what);
}

// libxml2 reports to a per-thread handler; this one drops every report, and
// the previous handler comes back when the parse is over.
void IgnoreXmlError(void*, xmlErrorPtr) {}

class SilentXmlErrors {
 public:
  SilentXmlErrors() : handler_(xmlStructuredError), context_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(nullptr, IgnoreXmlError);
  }
  ~SilentXmlErrors() { xmlSetStructuredErrorFunc(context_, handler_); }
  SilentXmlErrors(const SilentXmlErrors&) = delete;
  SilentXmlErrors& operator=(const SilentXmlErrors&) = delete;

 private:
  xmlStructuredErrorFunc handler_;
  void* context_;
};

struct DocumentDeleter {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::string_view Text(const xmlChar* text) {
  return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

bool Is(const xmlNode* node, std::string_view name, std::string_view ns) {
  return node->type == XML_ELEMENT_NODE && Text(node->name) == name && node->ns &&
         Text(node->ns->href) == ns;
}

const xmlNode* Child(const xmlNode* parent, std::string_view name, std::string_view ns) {
  for (const xmlNode* node = parent->children; node; node = node->next)
    if (Is(node, name, ns)) return node;
  return nullptr;
}

// An attribute without a namespace, as the descriptor writes them.
std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!value)
    Damaged(std::string("the attribute ") + name + " of " + std::string(Text(node->name)) +
            " is missing");
  std::string text(Text(value));
  xmlFree(value);
  return text;
}

std::uint32_t Number(const xmlNode* node, const char* name) {
  const std::string text = Attribute(node, name);
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    Damaged(std::string("the attribute ") + name + " is not a number: \"" + text.substr(0, 40) +
            "\"");
  return value;
}

std::vector<std::byte> Binary(const xmlNode* node, const char* name) {
  std::vector<std::byte> bytes;
  if (!DecodeBase64(Attribute(node, name), bytes))
    Damaged(std::string("the attribute ") + name + " is not base64");
  return bytes;
}

AgileKeyParameters KeyParameters(const xmlNode* node) {
  AgileKeyParameters p;
  p.saltSize = Number(node, "saltSize");
  p.blockSize = Number(node, "blockSize");
  p.keyBits = Number(node, "keyBits");
  p.hashSize = Number(node, "hashSize");
  p.cipherAlgorithm = Attribute(node, "cipherAlgorithm");
  p.cipherChaining = Attribute(node, "cipherChaining");
  p.hashAlgorithm = Attribute(node, "hashAlgorithm");
  p.salt = Binary(node, "saltValue");
  if (p.salt.size() != p.saltSize)
    Damaged("saltSize is " + std::to_string(p.saltSize) + " but the salt has " +
            std::to_string(p.salt.size()) + " bytes");
  return p;
}

}  // namespace

bool DecodeBase64(std::string_view text, std::vector<std::byte>& out) {
  out.clear();
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)) return false;
  std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> ctx(EVP_ENCODE_CTX_new(),
                                                                      EVP_ENCODE_CTX_free);
  if (!ctx) return false;
  out.resize(text.size() / 4 * 3 + 96);  // room for a partial last block
  EVP_DecodeInit(ctx.get());
  int written = 0;
  if (EVP_DecodeUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
                       reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<int>(text.size())) < 0)
    return false;
  int last = 0;
  if (EVP_DecodeFinal(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + written, &last) !=
      1)
    return false;
  out.resize(static_cast<std::size_t>(written + last));
  return true;
}

AgileDescriptor ParseAgileDescriptor(std::span<const std::byte> xml) {
  // Writers may pad the descriptor with zero bytes.
  while (!xml.empty() && xml.back() == std::byte{0}) xml = xml.first(xml.size() - 1);
  if (xml.empty()) Damaged("it is empty");
  if (xml.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    Damaged("it is too long");
  std::unique_ptr<xmlDoc, DocumentDeleter> doc;
  {
    SilentXmlErrors silent;
    doc.reset(xmlReadMemory(reinterpret_cast<const char*>(xml.data()), static_cast<int>(xml.size()),
                            "encryption.xml", nullptr,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  }
  if (!doc) Damaged("its XML does not parse");
  if (doc->intSubset || doc->extSubset) Damaged("it declares a document type");
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || !Is(root, "encryption", kEncryptionNamespace))
    Damaged("its root is not an encryption element");

  const xmlNode* keyData = Child(root, "keyData", kEncryptionNamespace);
  if (!keyData) Damaged("the keyData element is missing");
  const xmlNode* encryptors = Child(root, "keyEncryptors", kEncryptionNamespace);
  if (!encryptors) Damaged("the keyEncryptors element is missing");
  const xmlNode* passwordKey = nullptr;
  bool otherEncryptor = false;
  for (const xmlNode* node = encryptors->children; node; node = node->next) {
    if (!Is(node, "keyEncryptor", kEncryptionNamespace)) continue;
    if (Attribute(node, "uri") == kPasswordNamespace && !passwordKey)
      passwordKey = Child(node, "encryptedKey", kPasswordNamespace);
    else
      otherEncryptor = true;
  }
  if (!passwordKey) {
    if (otherEncryptor)
      throw UnsupportedEncryptionError(
          "the file is encrypted with agile encryption (version 4.4) whose key is opened by a "
          "certificate, not a "
          "password; the reader does not decrypt that");
    Damaged("the password key encryptor is missing");
  }

  AgileDescriptor d;
  d.keyData = KeyParameters(keyData);
  d.passwordKey = KeyParameters(passwordKey);
  d.spinCount = Number(passwordKey, "spinCount");
  if (d.spinCount > kMaxSpinCount)
    Damaged("the spin count " + std::to_string(d.spinCount) + " exceeds " +
            std::to_string(kMaxSpinCount));
  d.encryptedVerifierHashInput = Binary(passwordKey, "encryptedVerifierHashInput");
  d.encryptedVerifierHashValue = Binary(passwordKey, "encryptedVerifierHashValue");
  d.encryptedKeyValue = Binary(passwordKey, "encryptedKeyValue");
  return d;
}

}  // namespace corvid::jet::reader
