// Result tracers and message templates: the suffix that a result tracer
// puts after each message, and the filling of "%s" and "%d" placeholders.
// Writing the line is the functor's job (functor.cpp).
#include <treeval/trace.h>

#include <cstddef>
#include <string>

#include "line.h"

namespace {

const char* const BADFORMAT_OPEN = "BADFORMAT(";
const char* const BADFORMAT_AT_END = "BADFORMAT(X)";
constexpr std::size_t ARGUMENT_COUNT = 5;

// Every "%s" and "%d" takes the next argument, also past the fifth (then
// inserting nothing); any other placeholder is marked and takes none.
std::string fillTemplate(const std::string& format,
                         const std::string* const (&arguments)[ARGUMENT_COUNT]) {
    std::string result;
    std::size_t nextArgument = 0;
    std::size_t read = 0;
    for (;;) {
        const std::size_t percent = format.find('%', read);
        if (percent == std::string::npos) return result.append(format, read, std::string::npos);
        result.append(format, read, percent - read);
        if (percent + 1 == format.size()) return result += BADFORMAT_AT_END;
        const char placeholder = format[percent + 1];
        read = percent + 2;
        if (placeholder == 's' || placeholder == 'd') {
            if (nextArgument < ARGUMENT_COUNT) result += *arguments[nextArgument];
            ++nextArgument;
        } else {
            result += BADFORMAT_OPEN;
            result += placeholder;
            result += ')';
        }
    }
}

}  // namespace

const char* resultSuffix(unsigned int level) {
    return level == LOG_ERR || level == LOG_W ? " failed." : " successful.";
}

template <typename T>
std::string Logger::Functor<T>::replace(const std::string& format, const std::string& a1,
                                        const std::string& a2, const std::string& a3,
                                        const std::string& a4, const std::string& a5) {
    const std::string* const arguments[ARGUMENT_COUNT] = {&a1, &a2, &a3, &a4, &a5};
    return fillTemplate(format, arguments);
}

template std::string Logger::Functor<Logger::Id>::replace(const std::string&, const std::string&,
                                                          const std::string&, const std::string&,
                                                          const std::string&, const std::string&);
template std::string Logger::Functor<Logger::QId>::replace(const std::string&, const std::string&,
                                                           const std::string&, const std::string&,
                                                           const std::string&, const std::string&);
template std::string Logger::Functor<Logger::Sf>::replace(const std::string&, const std::string&,
                                                          const std::string&, const std::string&,
                                                          const std::string&, const std::string&);
