#include "frontend/list_program.h"

#include <cstdio>
#include <optional>
#include <string>

#include "dao/dao_database.h"
#include "dao/database_map.h"
#include "dao/database_map_output.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "frontend/error_report.h"
#include "frontend/headless_program.h"
#include "frontend/parameter_form.h"

namespace corvid {
namespace {

void PrintLine(std::string_view text) {
  const std::string line = WithoutCarriageReturns(text);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

int RunListing(const OwnArguments& arguments, const ConnectionFactory& makeConnection) {
  // The database is the positional argument, found by the command line's own
  // rules; nothing of the stored settings is read or stored.
  PlainForm form;
  form.onStatus = [](std::string_view text, Colour) { PrintLine(text); };
  const bool named = ParseCommandLine(form, arguments.rest);
  if (!named) {
    std::fputs("corvid: --list needs an existing database file\n\n", stderr);
    std::fputs(UsageText().c_str(), stderr);
    return 2;
  }
  const std::string path = form.Text(EditBox::Emdb);

  SetErrorReporter([](std::string_view message) { PrintLine(ErrorBoxText(message)); });
  std::optional<DatabaseMap> map;
  bool passwordRefused = false;
  RunHandler([&] {
    std::unique_ptr<TVxDaoDatabase> connection = makeConnection();
    if (arguments.loginPrompt) connection->F_Set_LoginPrompt(true);
    try {
      map = MapDatabaseFile(*connection, path);
    } catch (const dao::EngineError& error) {
      passwordRefused = error.Number() == dao::kNotValidPassword;
      throw;
    }
  });
  SetErrorReporter({});
  if (passwordRefused) PrintLine(PasswordHint(path));
  if (!map) return 1;

  const std::string text = arguments.json ? DatabaseMapJson(*map) : DatabaseMapText(*map);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  for (const std::string& note : map->damage) PrintLine(note);
  for (const TableMap& table : map->tables) {
    if (!table.error.empty())
      PrintLine("corvid: table " + table.name + " cannot be read: " + table.error);
  }
  return map->Incomplete() ? 3 : 0;
}

}  // namespace corvid
