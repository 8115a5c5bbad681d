// The logger chain and the trace functors: loggers found by name whatever
// their construction order, lazy start, the line format and time stamp,
// entry and exit lines, masks fixed in a functor, and strip_func.
#include <treeval/trace.h>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "line.h"

using Lines = std::vector<std::string>;

// Built during static initialisation, ahead of the library's root logger
// (this file is linked before the library), so they link themselves behind
// a root whose constructor has not run yet.
Logger staticFirst("TraceTestStaticFirst", nullptr);
Logger staticChild("TraceTestStaticChild", &staticFirst);
Logger staticNamedMain("main", nullptr);

namespace {

const LOG_LEVEL ALL_LEVELS = static_cast<LOG_LEVEL>(127);

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override { resetLogging(); }
    void TearDown() override { resetLogging(); }

    static void resetLogging() {
        Logger::setConsoleLogging(true);
        Logger::getRootLogger()->setClassLevel(static_cast<LOG_LEVEL>(0), true);
    }
};

TEST_F(LoggerTest, EveryLoggerIsFoundByItsExactNameAndTheRootComesFirst) {
    Logger late("TraceTestLate", &staticChild);
    Logger* root = Logger::getRootLogger();
    EXPECT_EQ(Logger::getClassLogger("TraceTestStaticFirst"), &staticFirst);
    EXPECT_EQ(Logger::getClassLogger("TraceTestStaticChild"), &staticChild);
    EXPECT_EQ(Logger::getClassLogger("TraceTestLate"), &late);
    EXPECT_EQ(Logger::getClassLogger("main"), root);
    EXPECT_EQ(Logger::getClassLogger("tracetestlate"), root);
    EXPECT_EQ(Logger::getClassLogger("TraceTestLat"), root);
    EXPECT_EQ(Logger::getClassLogger(""), root);
}

TEST_F(LoggerTest, DestroyedLoggerLeavesTheChainAndHandsItsChildrenToItsParent) {
    Logger top("TraceTestTop", nullptr);
    auto middle = std::make_unique<Logger>("TraceTestMiddle", &top);
    Logger leaf("TraceTestLeaf", middle.get());
    middle.reset();
    EXPECT_EQ(Logger::getClassLogger("TraceTestMiddle"), Logger::getRootLogger());
    EXPECT_EQ(Logger::getClassLogger("TraceTestLeaf"), &leaf);

    top.setClassLevel(LOG_T, true);
    const Lines lines = logLines(captureStdout([&] { leaf.trace("f", LOG_T, "reached"); }));
    EXPECT_EQ(lines, Lines{"     T| reached"});
}

TEST_F(LoggerTest, LoggerBuiltAfterFirstUseStartsOnItsOwnFirstUse) {
    Logger::getRootLogger()->trace("f", LOG_T, "starts every logger");
    Logger late("TraceTestStartedLate", nullptr);
    EXPECT_FALSE(late.started());
    const Lines lines = logLines(captureStdout([&] {
        late.trace("f", LOG_T, "silent");
        late.trace("f", LOG_SEVERE, "written");
    }));
    EXPECT_TRUE(late.started());
    EXPECT_EQ(lines, Lines{"SEVERE| written"});
}

TEST_F(LoggerTest, UnconfiguredFunctorWritesOnlySevere) {
    const Lines lines = logLines(captureStdout([] {
        auto trace = staticFirst.getFunctor<Logger::Id>("loadFile");
        trace(LOG_T, "progress");
        trace(LOG_ERR, "failure");
        trace(LOG_SEVERE, "severe");
    }));
    EXPECT_EQ(lines, Lines{"SEVERE| severe"});
}

TEST_F(LoggerTest, FunctorAtLevelTWritesEntryAndExitLinesWithoutNames) {
    staticFirst.setClassLevel(LOG_T, false);
    const Lines lines = logLines(captureStdout([] {
        auto trace = staticFirst.getFunctor<Logger::Id>("XMLLoader::loadFile(bool)");
        trace(LOG_T, "working");
    }));
    EXPECT_EQ(lines, (Lines{"     T| ...starting", "     T| working", "     T| ...exiting"}));
}

TEST_F(LoggerTest, TraceWritesExactlyOneLine) {
    staticFirst.setClassLevel(LOG_T, false);
    const Lines lines =
        logLines(captureStdout([] { staticFirst.trace("start", LOG_T, "one line"); }));
    EXPECT_EQ(lines, Lines{"     T| one line"});
}

TEST_F(LoggerTest, FunctorKeepsTheMaskItWasMadeWith) {
    staticFirst.setClassLevel(LOG_T, false);
    const Lines lines = logLines(captureStdout([] {
        auto before = staticFirst.getFunctor<Logger::QId>("f");
        staticFirst.setClassLevel(static_cast<LOG_LEVEL>(0), false);
        auto after = staticFirst.getFunctor<Logger::QId>("f");
        before(LOG_T, "made before");
        after(LOG_T, "made after");
        staticFirst.setClassLevel(LOG_T, false);
        after(LOG_T, "still silent");
    }));
    EXPECT_EQ(lines, Lines{"     T| made before"});
}

TEST(LineFormat, TagsAndMessages) {
    struct Case {
        unsigned int level;
        const char* text;
        Lines lines;
    };
    const Case cases[] = {
        {LOG_I, "info", {"     I| info"}},
        {LOG_ERR, "error", {"   ERR| error"}},
        {LOG_W, "warning", {"     W| warning"}},
        {LOG_D, "debug", {"     D| debug"}},
        {LOG_T, "trace", {"     T| trace"}},
        {LOG_C, "code", {"     C| code"}},
        {LOG_SEVERE, "severe", {"SEVERE| severe"}},
        {3, "two bits, no tag", {"two bits, no tag"}},
        {0, "level zero is never written", {}},
        {LOG_T, "", {"     T| "}},
        {LOG_T, "one newline\n", {"     T| one newline"}},
        {LOG_T, "two newlines\n\n", {"     T| two newlines", "UNSTAMPED: "}},
    };
    const Logger::Functor<Logger::QId> trace(ALL_LEVELS, "f", "C");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(logLines(captureStdout([&] { trace(static_cast<LOG_LEVEL>(c.level), c.text); })),
                  c.lines);
    }
}

TEST(LineFormat, EveryLineEndsWithExactlyOneNewline) {
    const Logger::Functor<Logger::QId> trace(ALL_LEVELS, "f", "C");
    const std::string out = captureStdout([&] { trace(LOG_T, "text\n"); });
    ASSERT_EQ(out.size(), 21 + 1 + 8 + 4 + 1);
    EXPECT_EQ(out.substr(21), "      T| text\n");
}

TEST(LineFormat, OutputDropsOneTrailingNewlineButKeepsALoneOne) {
    struct Case {
        const char* line;
        const char* written;
    };
    const Case cases[] = {
        {"text", "text\n"}, {"text\n", "text\n"}, {"text\n\n", "text\n\n"},
        {"\n", "\n\n"},     {"", "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(captureStdout([&] { Logger::output(c.line); }), c.written);
    }
}

TEST(TimeStamp, DayFirstAndTwelveHourClock) {
    struct Case {
        int hour, minute, second;
        const char* stamp;
    };
    const Case cases[] = {
        {6, 51, 0, "[09.12.2024 06:51:00]"},   {13, 5, 9, "[09.12.2024 01:05:09]"},
        {0, 30, 0, "[09.12.2024 12:30:00]"},   {12, 0, 0, "[09.12.2024 12:00:00]"},
        {23, 59, 59, "[09.12.2024 11:59:59]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stamp);
        std::tm when{};
        when.tm_year = 2024 - 1900;
        when.tm_mon = 11;
        when.tm_mday = 9;
        when.tm_hour = c.hour;
        when.tm_min = c.minute;
        when.tm_sec = c.second;
        EXPECT_EQ(formatTimeStamp(when), c.stamp);
    }
}

TEST(StripFunc, ReducesToTheBareName) {
    struct Case {
        const char* function;
        const char* bare;
    };
    const Case cases[] = {
        {"XMLLoader::loadFile(bool)", "loadFile"},
        {"loadFile", "loadFile"},
        {"getVector<T>", "getVector"},
        {"a::b::c", "b::c"},
        {"a(b::c)", "c)"},
        {"x::y<int>(z)", "y"},
        {"f()", "f"},
        {"A::", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        EXPECT_EQ(strip_func(c.function), c.bare);
    }
}

}  // namespace
