// What the fuzz targets share: the library's error reports switched off (a
// malformed input is expected, and printing every report slows the run),
// and a check that stops the run with a message when an invariant breaks.
#ifndef TREEVAL_FUZZ_SUPPORT_H
#define TREEVAL_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>

#include <libxml/xmlerror.h>

namespace fuzzsupport {

inline void ignoreGenericError(void*, const char*, ...) {}
inline void ignoreStructuredError(void*, xmlError*) {}

inline void silenceLibrary() {
    xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, ignoreStructuredError);
}

[[noreturn]] inline void broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace fuzzsupport

#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : fuzzsupport::broken(#condition, __FILE__, __LINE__))

#endif
