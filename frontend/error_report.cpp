#include "frontend/error_report.h"

#include <cstdio>
#include <exception>

namespace corvid {
namespace {

ErrorReporter& Reporter() {
  static ErrorReporter reporter;
  return reporter;
}

}  // namespace

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

std::string WithoutCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

void SetErrorReporter(ErrorReporter reporter) { Reporter() = std::move(reporter); }

void ReportError(std::string_view message) {
  if (Reporter()) {
    Reporter()(message);
  } else {
    std::fprintf(stderr, "%s\n", WithoutCarriageReturns(ErrorBoxText(message)).c_str());
  }
}

bool RunHandler(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    ReportError(error.what());
  } catch (...) {
    ReportError("Unknown error");
  }
  return false;
}

}  // namespace corvid
