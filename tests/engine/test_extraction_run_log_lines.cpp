// The date and time of the log lines follow the user's LC_TIME locale from
// the environment, whatever locale the process itself runs in.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/run_log_lines.h"
#include "support_run_doubles.h"

namespace corvid {
namespace {

// 2026-12-09 17:06:40 UTC
constexpr std::time_t kWhen = 1796836000;

// Sets environment variables for one scope and restores them afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
        ::tzset();
    }
    ~ScopedEnv() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
        ::tzset();
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(RunLogLines, CLocaleDateAndTime) {
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(ShortDateText(kWhen), "12/09/26");
    EXPECT_EQ(LongTimeText(kWhen), "17:06:40");
}

TEST(RunLogLines, UnknownLocaleFallsBackToC) {
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv all("LC_ALL", "xx_NOWHERE.UTF-8");
    EXPECT_EQ(ShortDateText(kWhen), "12/09/26");
    EXPECT_EQ(LongTimeText(kWhen), "17:06:40");
}

// A German locale compiled into the build directory (skipped where the
// locale sources are not installed).
TEST(RunLogLines, UserTimeLocaleFromTheEnvironment) {
    const char* buildDir = std::getenv("CORVID_BUILD_DIR");
    const std::filesystem::path root =
        std::filesystem::path(buildDir != nullptr ? buildDir : "/tmp") / "test-locales";
    const std::filesystem::path german = root / "de_DE.UTF-8";
    if (!std::filesystem::exists(german / "LC_TIME")) {
        // Built beside and moved into place, so parallel runs never see half a locale.
        std::filesystem::create_directories(root);
        const std::filesystem::path building = root / ("building-" + std::to_string(::getpid()));
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + building.string() + "' >/dev/null 2>&1";
        const bool built =
            std::system(command.c_str()) == 0 && std::filesystem::exists(building / "LC_TIME");
        std::error_code ignored;
        if (built) std::filesystem::rename(building, german, ignored);
        std::filesystem::remove_all(building, ignored);
        if (!std::filesystem::exists(german / "LC_TIME"))
            GTEST_SKIP() << "localedef cannot build de_DE.UTF-8 here";
    }
    ScopedEnv locpath("LOCPATH", root.string());
    ScopedEnv tz("TZ", "UTC");
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv lang("LANG", "C.UTF-8");
    ScopedEnv time("LC_TIME", "de_DE.UTF-8");
    EXPECT_EQ(ShortDateText(kWhen), "09.12.2026");
    EXPECT_EQ(LongTimeText(kWhen), "17:06:40");

    // The counts stay plain decimal digits.
    EXPECT_EQ(ClosingLine("Bilder", 1234567).substr(8), " - Bilder (1234567)");
    testing::FakeHost host;
    const std::string heading = HeadingLine(host);
    EXPECT_EQ(heading.substr(heading.find(" - ")), " - Corvid v1.2.3.4");
    EXPECT_EQ(heading.size(), std::string("09.12.2026 - Corvid v1.2.3.4").size());
}

}  // namespace
}  // namespace corvid
