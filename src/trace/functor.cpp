// Trace functors: the scoped object of one traced function, writing its
// entry and exit lines and its messages; the line's time stamp and level
// tag; and strip_func. Result suffixes and templates live in results.cpp,
// the sinks in output.cpp.
#include <treeval/trace.h>

#include <cstddef>
#include <ctime>
#include <string>

#include "line.h"

namespace {

const char* const STARTING = "...starting";
const char* const EXITING = "...exiting";

// What sets the kinds of functor apart: whether they bracket the function
// with entry and exit lines, and what follows each message.
template <typename T>
struct Kind;

template <>
struct Kind<Logger::Id> {
    static constexpr bool BRACKETS = true;
    static const char* suffix(unsigned int) { return ""; }
};

template <>
struct Kind<Logger::QId> {
    static constexpr bool BRACKETS = false;
    static const char* suffix(unsigned int) { return ""; }
};

template <>
struct Kind<Logger::Sf> {
    static constexpr bool BRACKETS = false;
    static const char* suffix(unsigned int level) { return resultSuffix(level); }
};

// The text after the first "::" up to the first "(" or "<"; when that
// opening comes before the "::", the whole rest after it.
std::string bareName(const std::string& function) {
    const std::size_t colons = function.find("::");
    const std::size_t start = colons == std::string::npos ? 0 : colons + 2;
    const std::size_t end = function.find_first_of("(<");
    if (end == std::string::npos || end < start) return function.substr(start);
    return function.substr(start, end - start);
}

}  // namespace

std::string strip_func(std::string function) {
    return bareName(function);
}

std::string formatTimeStamp(const std::tm& when) {
    char stamp[80];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "[%d.%m.%Y %I:%M:%S]", &when);
    return std::string(stamp, length);
}

const char* levelTag(unsigned int level) {
    switch (level) {
        case LOG_I:
            return "     I| ";
        case LOG_ERR:
            return "   ERR| ";
        case LOG_W:
            return "     W| ";
        case LOG_D:
            return "     D| ";
        case LOG_T:
            return "     T| ";
        case LOG_C:
            return "     C| ";
        case LOG_SEVERE:
            return "SEVERE| ";
        default:
            return "";
    }
}

std::string composeLine(unsigned int level, const std::string& text, const char* suffix) {
    const std::time_t now = std::time(nullptr);
    std::tm when{};
    if (const std::tm* local = std::localtime(&now)) when = *local;
    std::string line = formatTimeStamp(when);
    line += ' ';
    line += levelTag(level);
    line += text;
    line += suffix;
    return line;
}

template <typename T>
Logger::Functor<T>::Functor(unsigned int fixedMask, const std::string& function,
                            const std::string& ownerClass)
    : mask(fixedMask), funcName(bareName(function)), className(ownerClass) {
    if (Kind<T>::BRACKETS && (mask & LOG_T)) (*this)(LOG_T, STARTING);
}

template <typename T>
Logger::Functor<T>::~Functor() {
    if (Kind<T>::BRACKETS && (mask & LOG_T)) (*this)(LOG_T, EXITING);
}

// The mask test comes first so that a silent message reads no clock and
// builds no string.
template <typename T>
void Logger::Functor<T>::operator()(LOG_LEVEL level, const std::string& text) const {
    if ((mask & level) == 0) return;
    Logger::output(composeLine(level, text, Kind<T>::suffix(level)));
}

template class Logger::Functor<Logger::Id>;
template class Logger::Functor<Logger::QId>;
template class Logger::Functor<Logger::Sf>;
