#include "dao/sql/condition.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "SrcLib/text_case.h"
#include "dao/engine/engine_error.h"
#include "dao/sql/like_pattern.h"
#include "dao/sql/numeric_value.h"
#include "dao/sql/sql_errors.h"

namespace corvid::dao::sql {

struct Node {
  enum Kind { kLiteral, kField, kNot, kAnd, kOr, kCompare, kLike, kIsNull, kLower, kNegate };
  Kind kind = kLiteral;
  Variant value;         // kLiteral
  std::string name;      // kField: the field part of the name
  int column = -1;       // kField once bound
  std::string op;        // kCompare
  bool negated = false;  // NOT LIKE, IS NOT NULL
  std::unique_ptr<Node> a, b;
  std::unique_ptr<LikePattern> pattern;  // kLike with a constant pattern
};

namespace {

[[noreturn]] void SyntaxError(std::string_view reason, std::string_view text) {
  throw EngineError(kSyntaxErrorInExpression, "Syntax error (" + std::string(reason) +
                                                  ") in query expression '" + std::string(text) +
                                                  "'.");
}

[[noreturn]] void Mismatch(std::string_view text) {
  throw EngineError(kTypeMismatch,
                    "Data type mismatch in criteria expression '" + std::string(text) + "'.");
}

bool IsReserved(const Token& t) {
  for (const char* word : {"and", "or", "not", "like", "is", "null", "true", "false"})
    if (IsKeyword(t, word)) return true;
  return false;
}

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
         std::string_view text)
      : tokens_(tokens), pos_(begin), end_(end), text_(text) {}

  std::unique_ptr<Node> Whole() {
    if (pos_ >= end_) SyntaxError("missing expression", text_);
    auto node = Or();
    if (pos_ < end_) {
      if (IsSymbol(")")) SyntaxError("extra )", text_);
      SyntaxError("missing operator", text_);
    }
    return node;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    static const Token kEnd;
    return pos_ + ahead < end_ ? tokens_[pos_ + ahead] : kEnd;
  }
  bool IsSymbol(std::string_view s, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kSymbol && t.text == s;
  }
  bool Keyword(std::string_view word) {
    if (!IsKeyword(Peek(), word)) return false;
    ++pos_;
    return true;
  }
  static std::unique_ptr<Node> Make(Node::Kind kind, std::unique_ptr<Node> a = nullptr,
                                    std::unique_ptr<Node> b = nullptr) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->a = std::move(a);
    node->b = std::move(b);
    return node;
  }

  std::unique_ptr<Node> Or() {
    auto left = And();
    while (Keyword("or")) left = Make(Node::kOr, std::move(left), And());
    return left;
  }
  std::unique_ptr<Node> And() {
    auto left = Not();
    while (Keyword("and")) left = Make(Node::kAnd, std::move(left), Not());
    return left;
  }
  std::unique_ptr<Node> Not() {
    if (Keyword("not")) return Make(Node::kNot, Not());
    return Comparison();
  }
  std::unique_ptr<Node> Comparison() {
    auto left = Operand();
    const Token& t = Peek();
    if (t.kind == TokenKind::kSymbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                         t.text == ">" || t.text == "<=" || t.text == ">=")) {
      std::string op = t.text;
      ++pos_;
      auto node = Make(Node::kCompare, std::move(left), Operand());
      node->op = op;
      return node;
    }
    bool negated = false;
    if (IsKeyword(t, "not") && IsKeyword(Peek(1), "like")) {
      negated = true;
      ++pos_;
    }
    if (Keyword("like")) {
      auto node = Make(Node::kLike, std::move(left), Operand());
      node->negated = negated;
      if (node->b->kind == Node::kLiteral ||
          (node->b->kind == Node::kLower && node->b->a->kind == Node::kLiteral)) {
        const Node& lit = node->b->kind == Node::kLiteral ? *node->b : *node->b->a;
        if (const auto* s = std::get_if<std::string>(&lit.value)) {
          try {
            node->pattern = std::make_unique<LikePattern>(*s);
          } catch (const std::invalid_argument& e) {
            SyntaxError(e.what(), text_);
          }
        }
      }
      return node;
    }
    if (Keyword("is")) {
      auto node = Make(Node::kIsNull, std::move(left));
      node->negated = Keyword("not");
      if (!Keyword("null")) SyntaxError("missing operator", text_);
      return node;
    }
    return left;
  }
  std::unique_ptr<Node> Operand() {
    if (IsSymbol("-")) {
      ++pos_;
      return Make(Node::kNegate, Operand());
    }
    if (IsSymbol("+")) {
      ++pos_;
      return Operand();
    }
    return Primary();
  }
  std::unique_ptr<Node> Literal(Variant value) {
    auto node = Make(Node::kLiteral);
    node->value = std::move(value);
    ++pos_;
    return node;
  }
  std::unique_ptr<Node> Primary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::kEnd:
        SyntaxError("missing operand", text_);
      case TokenKind::kString:
      case TokenKind::kGuid:
        return Literal(t.text);
      case TokenKind::kNumber:
        return Literal(t.number);
      case TokenKind::kDate:
        return Literal(Date{t.number});
      case TokenKind::kSymbol:
        if (t.text == "(") {
          ++pos_;
          auto inner = Or();
          if (!IsSymbol(")")) SyntaxError("missing )", text_);
          ++pos_;
          return inner;
        }
        SyntaxError("missing operand", text_);
      case TokenKind::kName:
        if (IsKeyword(t, "true")) return Literal(true);
        if (IsKeyword(t, "false")) return Literal(false);
        if (IsKeyword(t, "null")) return Literal(Null{});
        if ((IsKeyword(t, "lcase") || IsKeyword(t, "lcase$")) && IsSymbol("(", 1)) {
          pos_ += 2;
          auto node = Make(Node::kLower, Or());
          if (!IsSymbol(")")) SyntaxError("missing )", text_);
          ++pos_;
          return node;
        }
        if (IsReserved(t) || IsSymbol("(", 1)) SyntaxError("missing operator", text_);
        [[fallthrough]];
      case TokenKind::kBracketName: {
        auto node = Make(Node::kField);
        node->name = t.text;
        ++pos_;
        // "[t].[f]" and "t.f": the last part names the field.
        while (IsSymbol(".")) {
          const Token& part = Peek(1);
          if (part.kind != TokenKind::kBracketName &&
              (part.kind != TokenKind::kName || IsReserved(part)))
            SyntaxError("missing operator", text_);
          node->name = part.text;
          pos_ += 2;
        }
        return node;
      }
    }
    SyntaxError("missing operand", text_);
  }

  const std::vector<Token>& tokens_;
  std::size_t pos_, end_;
  std::string_view text_;
};

std::string_view BytesText(const Bytes& b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

// Three-way comparison; nothing when either side is Null.
std::optional<int> Compare(const Variant& x, const Variant& y, std::string_view text) {
  if (IsNull(x) || IsNull(y)) return std::nullopt;
  if (IsNumeric(x) && IsNumeric(y)) {
    double a = NumberOf(x), b = NumberOf(y);
    // A Single compares at its own precision with the literal it shows as.
    if (std::holds_alternative<float>(x) || std::holds_alternative<float>(y)) {
      a = static_cast<float>(a);
      b = static_cast<float>(b);
    }
    return a < b ? -1 : a > b ? 1 : 0;
  }
  const auto* sx = std::get_if<std::string>(&x);
  const auto* sy = std::get_if<std::string>(&y);
  if (sx && sy) return CompareText(*sx, *sy);
  const auto* bx = std::get_if<Bytes>(&x);
  const auto* by = std::get_if<Bytes>(&y);
  if ((bx || sx) && (by || sy)) {
    std::string_view a = bx ? BytesText(*bx) : std::string_view(*sx);
    std::string_view b = by ? BytesText(*by) : std::string_view(*sy);
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  Mismatch(text);
}

// True, false or unknown (nothing) of a value used as a condition.
std::optional<bool> TruthOf(const Variant& v, std::string_view text) {
  if (IsNull(v)) return std::nullopt;
  if (const auto* b = std::get_if<bool>(&v)) return *b;
  if (IsNumeric(v)) return NumberOf(v) != 0.0;
  Mismatch(text);
}

Variant FromTruth(std::optional<bool> t) {
  if (!t) return Null{};
  return *t;
}

std::string TextOf(const Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  return VariantToText(v);
}

Variant Evaluate(const Node& n, const Condition::ColumnValue& value, std::string_view text) {
  switch (n.kind) {
    case Node::kLiteral:
      return n.value;
    case Node::kField:
      return value(n.column);
    case Node::kNot: {
      auto t = TruthOf(Evaluate(*n.a, value, text), text);
      return FromTruth(t ? std::optional<bool>(!*t) : std::nullopt);
    }
    case Node::kAnd: {
      auto a = TruthOf(Evaluate(*n.a, value, text), text);
      if (a && !*a) return false;
      auto b = TruthOf(Evaluate(*n.b, value, text), text);
      if (b && !*b) return false;
      if (!a || !b) return Null{};
      return true;
    }
    case Node::kOr: {
      auto a = TruthOf(Evaluate(*n.a, value, text), text);
      if (a && *a) return true;
      auto b = TruthOf(Evaluate(*n.b, value, text), text);
      if (b && *b) return true;
      if (!a || !b) return Null{};
      return false;
    }
    case Node::kCompare: {
      auto c = Compare(Evaluate(*n.a, value, text), Evaluate(*n.b, value, text), text);
      if (!c) return Null{};
      const std::string& op = n.op;
      if (op == "=") return *c == 0;
      if (op == "<>") return *c != 0;
      if (op == "<") return *c < 0;
      if (op == ">") return *c > 0;
      if (op == "<=") return *c <= 0;
      return *c >= 0;
    }
    case Node::kLike: {
      Variant subject = Evaluate(*n.a, value, text);
      if (IsNull(subject)) return Null{};
      bool match;
      if (n.pattern) {
        match = n.pattern->Matches(TextOf(subject));
      } else {
        Variant pattern = Evaluate(*n.b, value, text);
        if (IsNull(pattern)) return Null{};
        try {
          match = LikePattern(TextOf(pattern)).Matches(TextOf(subject));
        } catch (const std::invalid_argument& e) {
          SyntaxError(e.what(), text);
        }
      }
      return match != n.negated;
    }
    case Node::kIsNull:
      return IsNull(Evaluate(*n.a, value, text)) != n.negated;
    case Node::kLower: {
      Variant v = Evaluate(*n.a, value, text);
      if (IsNull(v)) return v;
      return LowerCase(TextOf(v));
    }
    case Node::kNegate: {
      Variant v = Evaluate(*n.a, value, text);
      if (IsNull(v)) return v;
      if (!IsNumeric(v)) Mismatch(text);
      if (const auto* t = std::get_if<Date>(&v)) return Date{-t->days};
      return -NumberOf(v);
    }
  }
  return Null{};
}

void BindNode(Node& n, const std::vector<std::string>& columns) {
  if (n.kind == Node::kField) {
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (SameText(columns[i], n.name)) {
        n.column = static_cast<int>(i);
        return;
      }
    throw EngineError(kUnknownName, "The database engine does not recognize '" + n.name +
                                        "' as a valid field name or expression.");
  }
  if (n.a) BindNode(*n.a, columns);
  if (n.b) BindNode(*n.b, columns);
}

void SetParameterNodes(Node& n, const std::vector<Condition::ParameterValue>& parameters) {
  if (n.kind == Node::kField) {
    for (const auto& [name, value] : parameters)
      if (SameText(name, n.name)) {
        n.kind = Node::kLiteral;
        n.value = value;
        return;
      }
  }
  if (n.a) SetParameterNodes(*n.a, parameters);
  if (n.b) SetParameterNodes(*n.b, parameters);
}

std::vector<Token> TokensOf(std::string_view text) {
  try {
    return Tokenize(text);
  } catch (const std::invalid_argument& e) {
    SyntaxError(e.what(), text);
  }
}

}  // namespace

Condition::Condition(std::string_view text) : text_(text) {
  auto tokens = TokensOf(text);
  root_ = Parser(tokens, 0, tokens.size() - 1, text_).Whole();
}

Condition::Condition(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                     std::string_view text)
    : text_(text) {
  root_ = Parser(tokens, begin, end, text_).Whole();
}

Condition::~Condition() = default;
Condition::Condition(Condition&&) noexcept = default;
Condition& Condition::operator=(Condition&&) noexcept = default;

void Condition::Bind(const std::vector<std::string>& columns) { BindNode(*root_, columns); }

void Condition::SetParameters(const std::vector<ParameterValue>& parameters) {
  SetParameterNodes(*root_, parameters);
}

bool Condition::Matches(const ColumnValue& value) const {
  return TruthOf(Evaluate(*root_, value, text_), text_).value_or(false);
}

}  // namespace corvid::dao::sql
