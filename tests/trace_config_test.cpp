// Configuring the loggers: level texts, class and function masks and how
// far recursive settings reach, console output, log files, and the decimal
// to hexadecimal conversion of the signal hook.
#include <treeval/trace.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "capture.h"
#include "run.h"
#include "signals.h"

using Lines = std::vector<std::string>;

namespace {

const LOG_LEVEL NO_LEVEL = static_cast<LOG_LEVEL>(0);
const LOG_LEVEL VERBOSE = static_cast<LOG_LEVEL>(95);

// The mask a function of the logger traces with, read back from the lines
// that a functor made for it writes at each single level.
unsigned int observedMask(Logger& logger, const std::string& function) {
    const auto trace = logger.getFunctor<Logger::QId>(function);
    const std::string out = captureStdout([&] {
        for (unsigned int bit = LOG_I; bit <= LOG_SEVERE; bit <<= 1)
            trace(static_cast<LOG_LEVEL>(bit), std::to_string(bit));
    });
    unsigned int mask = 0;
    for (const std::string& line : logLines(out))
        mask |= std::stoul(line.substr(8));
    return mask;
}

// Writes one SEVERE line through the root logger, keeping it off the test's
// own output.
std::string writeSevere(const std::string& text) {
    return captureStdout([&] { Logger::getRootLogger()->trace("f", LOG_SEVERE, text); });
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { resetLogging(); }
    void TearDown() override { resetLogging(); }

    static void resetLogging() {
        Logger::setConsoleLogging(true);
        Logger::getRootLogger()->setClassLevel(NO_LEVEL, true);
    }

    Logger* root = Logger::getRootLogger();
};

// A class logger with a child and a grandchild, and an unrelated sibling.
class FamilyTest : public ConfigTest {
protected:
    Logger parent{"TraceTestParent", nullptr};
    Logger child{"TraceTestChild", &parent};
    Logger grandchild{"TraceTestGrandchild", &child};
    Logger sibling{"TraceTestSibling", nullptr};
};

TEST(ParseLogLevel, VerbosityDigitAndAccessCode) {
    struct Case {
        const char* text;
        unsigned int mask;
        bool accepted;
    };
    const Case cases[] = {
        {"0", 66, true},        {"1", 70, true},
        {"2", 71, true},        {"3", 79, true},
        {"4", 95, true},        {"9", 95, true},
        {"10", 66, false},      {"14", 95, false},
        {"735", 95, false},     {"7354", 127, true},
        {"7350", 98, true},     {"17354", 127, true},
        {"0007354", 127, true}, {"7364", 95, false},
        {"abc", 66, true},      {" 3", 79, true},
        {"3x", 79, true},       {"+3", 79, true},
        {"-1", 95, false},      {"99999999999", 95, false},
        {"", 66, false},        {"   ", 66, false},
        {"\t\n", 66, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        LOG_LEVEL level = static_cast<LOG_LEVEL>(1);
        EXPECT_EQ(Logger::parseLogLevel(c.text, level), c.accepted);
        EXPECT_EQ(static_cast<unsigned int>(level), c.mask);
    }
}

TEST_F(FamilyTest, ClassLevelOnTheRootReachesEveryLoggerAndEveryFunction) {
    parent.trace("existing", LOG_T, "creates the entry");
    child.setFunctionLevel("narrowed", LOG_ERR, false);
    root->setClassLevel(LOG_T, true);
    for (Logger* logger : {root, &parent, &child, &grandchild, &sibling}) {
        EXPECT_EQ(observedMask(*logger, "fresh"), 80u);
    }
    EXPECT_EQ(observedMask(parent, "existing"), 80u);
    EXPECT_EQ(observedMask(child, "narrowed"), 80u);

    root->setClassLevel(NO_LEVEL, true);
    EXPECT_EQ(observedMask(parent, "existing"), 64u);
    EXPECT_EQ(observedMask(child, "fresh"), 64u);
}

TEST_F(FamilyTest, RecursiveClassLevelReachesGrandchildrenButNeverTheRoot) {
    parent.setClassLevel(LOG_T, true);
    EXPECT_EQ(observedMask(parent, "f"), 80u);
    EXPECT_EQ(observedMask(child, "f"), 80u);
    EXPECT_EQ(observedMask(grandchild, "f"), 80u);
    EXPECT_EQ(observedMask(sibling, "f"), 64u);
    EXPECT_EQ(observedMask(*root, "f"), 64u);
}

TEST_F(FamilyTest, ClassLevelWithoutRecursionStaysOnTheLogger) {
    child.setClassLevel(LOG_D, false);
    EXPECT_EQ(observedMask(child, "f"), 72u);
    EXPECT_EQ(observedMask(grandchild, "f"), 64u);
    EXPECT_EQ(observedMask(parent, "f"), 64u);
}

TEST_F(FamilyTest, RecursiveFunctionLevelReachesGrandchildrenButNeverTheRoot) {
    root->setClassLevel(VERBOSE, true);
    child.setFunctionLevel("loadFile", LOG_ERR, true);
    EXPECT_EQ(observedMask(child, "loadFile"), 2u);
    EXPECT_EQ(observedMask(grandchild, "loadFile"), 2u);
    EXPECT_EQ(observedMask(parent, "loadFile"), 95u);
    EXPECT_EQ(observedMask(*root, "loadFile"), 95u);
}

// Parents that form a loop missing the root: settings still end, and reach
// only the loggers below the one they are made on.
TEST_F(ConfigTest, RecursiveSettingsEndOnParentsThatLoop) {
    struct Loop {
        Logger first{"TraceTestLoopFirst", &second};
        Logger second{"TraceTestLoopSecond", &first};
    } loop;
    loop.first.setClassLevel(LOG_T, true);
    root->setClassLevel(LOG_D, true);
    EXPECT_EQ(observedMask(loop.second, "f"), 80u);
    EXPECT_EQ(observedMask(*root, "f"), 72u);
}

TEST_F(ConfigTest, FunctionLevelNarrowsTheClassLevelAndNeverWidensIt) {
    struct Case {
        const char* name;
        unsigned int classLevel;
        unsigned int functionLevel;
        unsigned int mask;
    };
    const Case cases[] = {
        {"level 0 silences even SEVERE", 95, 0, 0},
        {"a narrower level", 95, LOG_ERR, 2},
        {"T under the default class mask", 0, LOG_T, 0},
        {"wider than the class", LOG_ERR, 127, 66},
    };
    Logger logger("TraceTestNarrowing", nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logger.setClassLevel(static_cast<LOG_LEVEL>(c.classLevel), false);
        logger.setFunctionLevel("loadFile", static_cast<LOG_LEVEL>(c.functionLevel), false);
        EXPECT_EQ(observedMask(logger, "loadFile"), c.mask);
        EXPECT_EQ(observedMask(logger, "saveFile"), c.classLevel | LOG_SEVERE);
    }
}

TEST_F(ConfigTest, FunctionLevelSetBeforeTheFirstTraceHoldsUntilTheNextClassLevel) {
    Logger logger("TraceTestEarlyEntry", nullptr);
    logger.setClassLevel(VERBOSE, false);
    logger.setFunctionLevel("early", LOG_W, false);
    EXPECT_EQ(observedMask(logger, "early"), 4u);
    logger.setClassLevel(LOG_T, false);
    EXPECT_EQ(observedMask(logger, "early"), 80u);
}

TEST_F(ConfigTest, FunctionNamesAreComparedWhole) {
    Logger logger("TraceTestWholeNames", nullptr);
    logger.setClassLevel(VERBOSE, false);
    logger.setFunctionLevel("loadFile", NO_LEVEL, false);
    EXPECT_EQ(observedMask(logger, "XMLLoader::loadFile(bool)"), 95u);
    EXPECT_EQ(observedMask(logger, "loadfile"), 95u);
    EXPECT_EQ(observedMask(logger, "loadFile"), 0u);
}

TEST_F(ConfigTest, ConsoleOffWritesNothingToStandardOutput) {
    Logger::setConsoleLogging(false);
    EXPECT_EQ(writeSevere("hidden"), "");
    Logger::setConsoleLogging(true);
    EXPECT_EQ(logLines(writeSevere("shown")), Lines{"SEVERE| shown"});
}

TEST_F(ConfigTest, LogFileWithoutAppendStartsEmpty) {
    TempDir dir;
    const std::string path = dir.file("fresh.log");
    writeWhole(path, "old line\n");
    Logger::setLogFile(path, false);
    EXPECT_FALSE(exists(path));
    writeSevere("new line");
    EXPECT_EQ(logLines(readWhole(path)), Lines{"SEVERE| new line"});
}

TEST_F(ConfigTest, LogFileWithAppendKeepsItsContent) {
    TempDir dir;
    const std::string path = dir.file("kept.log");
    writeWhole(path, "old line\n");
    Logger::setLogFile(path, true);
    writeSevere("first");
    writeSevere("second");
    const std::string text = readWhole(path);
    ASSERT_EQ(text.compare(0, 9, "old line\n"), 0);
    EXPECT_EQ(logLines(text.substr(9)), (Lines{"SEVERE| first", "SEVERE| second"}));
}

TEST_F(ConfigTest, LogFileRegisteredTwiceGetsEachLineOnce) {
    TempDir dir;
    const std::string path = dir.file("twice.log");
    Logger::setLogFile(path, true);
    Logger::setLogFile(path, true);
    writeSevere("once");
    EXPECT_EQ(logLines(readWhole(path)), Lines{"SEVERE| once"});
}

TEST_F(ConfigTest, LogFileRemovedBetweenLinesIsCreatedAnew) {
    TempDir dir;
    const std::string path = dir.file("moved.log");
    Logger::setLogFile(path, true);
    writeSevere("before");
    std::remove(path.c_str());
    writeSevere("after");
    EXPECT_EQ(logLines(readWhole(path)), Lines{"SEVERE| after"});
}

TEST_F(ConfigTest, UnreachableLogFileIsSkippedAndTheOtherSinksStillWrite) {
    TempDir dir;
    const std::string missing = dir.file("missing/trace.log");
    const std::string good = dir.file("good.log");
    Logger::setLogFile(missing, false);
    Logger::setLogFile(dir.path(), true);
    Logger::setLogFile(good, true);
    const Lines console = logLines(writeSevere("everywhere else"));
    EXPECT_EQ(console, Lines{"SEVERE| everywhere else"});
    EXPECT_EQ(logLines(readWhole(good)), Lines{"SEVERE| everywhere else"});
    EXPECT_FALSE(exists(dir.file("missing")));
}

TEST_F(ConfigTest, LogFilesStillGetLinesWithConsoleOff) {
    TempDir dir;
    const std::string path = dir.file("quiet.log");
    Logger::setLogFile(path, true);
    Logger::setConsoleLogging(false);
    EXPECT_EQ(writeSevere("file only"), "");
    EXPECT_EQ(logLines(readWhole(path)), Lines{"SEVERE| file only"});
}

TEST(DecSignal, DecimalDigitsReadAsHexadecimal) {
    struct Case {
        unsigned int code;
        unsigned int hex;
    };
    const Case cases[] = {
        {0, 0},
        {7, 0x7},
        {99, 0x99},
        {1234, 0x1234},
        {99999999, 0x99999999},
        {100000005, 0x5},
        {999999999, 0x99999999},
        {1000000000, 0x0},
        {4294967295u, 0x94967295},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(decimalDigitsAsHex(c.code), c.hex);
        Logger::decSignal(c.code, "returns normally");
    }
    Logger::hexSignal(0xffffffffu, "");
}

}  // namespace
