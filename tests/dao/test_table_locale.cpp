// Field texts in a user locale with a decimal comma and a day-first date:
// floats and currency use the locale's separator, dates its short date and
// long time; DateText and integers stay locale-free. The locale is compiled
// into a scratch directory (LOCPATH), so the test needs no installed locales.

#include <gtest/gtest.h>

#include <cstdlib>

#include "dao/dataset/user_locale.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using namespace testing_support;

class GermanLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string target = dir_ / "de_DE.UTF-8";
    const std::string command = "localedef -i de_DE -f UTF-8 '" + target + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !std::filesystem::exists(target))
      GTEST_SKIP() << "localedef cannot build de_DE.UTF-8 here";
    setenv("LOCPATH", dir_.Path().c_str(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    if (UserDecimalSeparator() != ",") GTEST_SKIP() << "the compiled locale is not used";
  }
  void TearDown() override {
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("LOCPATH");
  }
  ScratchDir dir_;
};

TEST_F(GermanLocale, FloatCurrencyAndDateTexts) {
  ScratchDir data;
  OpenDatabase db(MakeThingsDatabase(data));
  auto& t = db.table;
  t.F_Set_TableName("Things");
  t.Open();
  const auto& values = t.ActiveRecordBuffer()->RecValues;
  EXPECT_EQ(values[8].text, "12,5");  // currency value text in the user's locale
  EXPECT_EQ(values[9].text, "0,1");
  EXPECT_EQ(values[6].text, "730519 43200000");  // DateText is locale-free
  EXPECT_EQ(t.FieldByName("Price").AsString(), "12,5");
  EXPECT_EQ(std::get<double>(t.FieldByName("Price").Value()), 12.5);
  EXPECT_EQ(t.FieldByName("When").AsString(), "03.02.2001 12:00:00");
  EXPECT_EQ(t.FieldByName("Count").AsString(), "42");
  t.Last();
  EXPECT_EQ(t.FieldByName("When").AsString(), "03.02.2001");
  EXPECT_EQ(t.FieldByName("Ratio").AsString(), "-2,5");
  EXPECT_EQ(FormatFloatText(1234567.125), "1234567,125");  // no grouping
}

}  // namespace
}  // namespace corvid
