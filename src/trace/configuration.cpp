// Configuring the loggers: class and function masks, passed down a family
// of loggers on request; level texts turned into masks; and the two signal
// hooks. Console and log-file switches live with the sinks in output.cpp.
#include <treeval/trace.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "signals.h"

namespace {

// Masks by verbosity digit; every digit from 4 up switches on all of them.
constexpr std::uint32_t VERBOSITY_MASKS[] = {
    LOG_ERR | LOG_SEVERE,
    LOG_ERR | LOG_W | LOG_SEVERE,
    LOG_ERR | LOG_W | LOG_I | LOG_SEVERE,
    LOG_ERR | LOG_W | LOG_I | LOG_D | LOG_SEVERE,
    LOG_ERR | LOG_W | LOG_I | LOG_D | LOG_T | LOG_SEVERE,
};
constexpr unsigned int HIGHEST_VERBOSITY = 4;

std::uint32_t verbosityMask(unsigned int digit) {
    return VERBOSITY_MASKS[digit < HIGHEST_VERBOSITY ? digit : HIGHEST_VERBOSITY];
}

}  // namespace

// The walk is bounded by the number of loggers ever built, so parents that
// form a loop missing the root cannot make it run forever.
bool Logger::isBelow(const Logger& ancestor) const {
    if (this == &ancestor) return false;
    std::uint64_t stepsLeft = instancecount;
    for (const Logger* up = parent; up && stepsLeft > 0; up = up->parent, --stepsLeft) {
        if (up == &ancestor) return true;
        if (up == &_main) return false;
    }
    return false;
}

void Logger::setClassLevel(LOG_LEVEL level, bool recursive) const {
    if (!started()) _main.start();
    const std::uint32_t mask = level | LOG_SEVERE;
    settings->classLevel = mask;
    for (auto& function : settings->functionLevels)
        function.second = mask;
    if (!recursive) return;
    for (const Logger* logger = &_main; logger; logger = logger->successor())
        if (logger->isBelow(*this)) logger->setClassLevel(level, false);
}

void Logger::setFunctionLevel(const std::string& function, LOG_LEVEL level, bool recursive) const {
    if (!started()) _main.start();
    settings->functionLevels[function] = level;
    if (!recursive) return;
    for (const Logger* logger = &_main; logger; logger = logger->successor())
        if (logger->isBelow(*this)) logger->setFunctionLevel(function, level, false);
}

// The number is read as an unsigned stream extraction reads it (a sign is
// accepted, text that is no number reads as 0, an overflow as the largest
// value); only a text with nothing but white space gives no number at all.
bool Logger::parseLogLevel(const std::string& text, LOG_LEVEL& level) {
    std::istringstream in(text);
    in >> std::ws;
    if (in.eof()) {
        level = static_cast<LOG_LEVEL>(verbosityMask(0));
        return false;
    }
    unsigned int number = 0;
    in >> number;
    std::uint32_t mask = verbosityMask(number % 10);
    const bool hasAccessCode = number / 10 % 1000 == ACCESS_CODE;
    if (hasAccessCode) mask |= LOG_C;
    level = static_cast<LOG_LEVEL>(mask);
    return hasAccessCode || number <= 9;
}

unsigned int decimalDigitsAsHex(unsigned int code) {
    std::uint32_t hex = 0;
    unsigned int shift = 0;
    // A 64-bit power of ten ends the walk past a ten-digit code instead of
    // overflowing; digits beyond the eighth have no place in 32 bits.
    for (std::uint64_t power = 1; power <= code && shift < 32; power *= 10, shift += 4)
        hex |= static_cast<std::uint32_t>(code / power % 10) << shift;
    return hex;
}

void Logger::hexSignal(unsigned int, const std::string&) {}

void Logger::decSignal(unsigned int code, const std::string& text) {
    hexSignal(decimalDigitsAsHex(code), text);
}
