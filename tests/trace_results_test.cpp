// Result tracers and message templates: the suffix chosen by the level,
// the silence of a result tracer around its function, and the filling of
// "%s" and "%d" placeholders.
#include <treeval/trace.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.h"

using Lines = std::vector<std::string>;

namespace {

const unsigned int ALL_LEVELS = 127;

TEST(ResultTracer, UnconfiguredWritesOnlySevere) {
    Logger::getRootLogger()->setClassLevel(static_cast<LOG_LEVEL>(0), true);
    Logger logger("TraceTestResults", nullptr);
    const Lines lines = logLines(captureStdout([&] {
        const auto result = logger.getFunctor<Logger::Sf>("saveFile");
        result(LOG_ERR, "Saving");
        result(LOG_T, "Saving");
        result(LOG_SEVERE, "Saving");
    }));
    EXPECT_EQ(lines, Lines{"SEVERE| Saving successful."});
}

TEST(ResultTracer, WritesNothingWhenMadeOrDestroyed) {
    for (unsigned int mask : {0u, ALL_LEVELS, 0xffffffffu}) {
        SCOPED_TRACE(mask);
        EXPECT_EQ(captureStdout([&] { Logger::Functor<Logger::Sf> result(mask, "f", "C"); }), "");
    }
}

TEST(ResultTracer, SuffixFollowsTheLevel) {
    struct Case {
        unsigned int level;
        const char* line;
    };
    const Case cases[] = {
        {LOG_I, "     I| Copy successful."},      {LOG_ERR, "   ERR| Copy failed."},
        {LOG_W, "     W| Copy failed."},          {LOG_D, "     D| Copy successful."},
        {LOG_T, "     T| Copy successful."},      {LOG_C, "     C| Copy successful."},
        {LOG_SEVERE, "SEVERE| Copy successful."}, {LOG_ERR | LOG_W, "Copy successful."},
    };
    const Logger::Functor<Logger::Sf> result(ALL_LEVELS, "copy", "C");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(logLines(captureStdout([&] { result(static_cast<LOG_LEVEL>(c.level), "Copy"); })),
                  Lines{c.line});
    }
}

TEST(MessageTemplate, FillsPlaceholdersInTurn) {
    struct Case {
        const char* format;
        std::vector<std::string> arguments;
        const char* result;
    };
    const Case cases[] = {
        {"Copying %s to %d.", {"a", "b"}, "Copying a to b."},
        {"%d%s%s%s%s%s", {"1", "2", "3", "4", "5"}, "12345"},
        {"%s and %s", {"a"}, "a and "},
        {"%s", {"a", "b", "c"}, "a"},
        {"[%s]", {"%d"}, "[%d]"},
        {"100%", {}, "100BADFORMAT(X)"},
        {"%", {}, "BADFORMAT(X)"},
        {"%x%s", {"a"}, "BADFORMAT(x)a"},
        {"50%% off %s", {"a"}, "50BADFORMAT(%) off a"},
        {"no placeholder", {"a"}, "no placeholder"},
        {"", {"a"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::string> a = c.arguments;
        a.resize(5);
        EXPECT_EQ(Logger::Functor<Logger::Sf>::replace(c.format, a[0], a[1], a[2], a[3], a[4]),
                  c.result);
        EXPECT_EQ(Logger::Functor<Logger::Id>::replace(c.format, a[0], a[1], a[2], a[3], a[4]),
                  c.result);
    }
}

}  // namespace
