// Fuzz target: splitPath and splitCondition on arbitrary paths. Whatever
// the bytes, the pieces must put the path together again: the parent, "/"
// and the last step make the path; a condition's name is the path's start,
// its key is trimmed of blanks, and its value lies inside the brackets.
#include <string>

#include "support.h"
#include "xmlloaderimpl.h"

namespace {

std::string text(const XString& s) {
    return s.stringValue("");
}

void checkSplitPath(const XString& path, const std::string& whole) {
    XString parent("untouched"), last("untouched");
    if (!XMLLoaderImpl::splitPath(path, parent, last)) {
        FUZZ_CHECK(whole.find('/') == std::string::npos);
        FUZZ_CHECK(text(parent) == "untouched" && text(last) == "untouched");
        return;
    }
    FUZZ_CHECK(text(parent) + "/" + text(last) == whole);
    FUZZ_CHECK(text(last).find('/') == std::string::npos);
}

void checkSplitCondition(const XString& path, const std::string& whole) {
    XString name("untouched"), key("untouched"), value("untouched");
    if (!XMLLoaderImpl::splitCondition(path, name, key, value)) {
        if (whole.empty() || whole.back() != ']')
            FUZZ_CHECK(text(name) == "untouched" && text(value) == "untouched");
        FUZZ_CHECK(text(key) == "untouched");
        return;
    }
    const std::size_t open = whole.rfind('[');
    FUZZ_CHECK(whole.back() == ']' && open != std::string::npos);
    FUZZ_CHECK(text(name) == whole.substr(0, open));
    const std::string condition = whole.substr(open + 1, whole.size() - open - 2);
    const std::size_t equals = condition.rfind('=');
    FUZZ_CHECK(equals != std::string::npos);
    const std::string k = text(key), v = text(value);
    FUZZ_CHECK(k.empty() || (k.front() != ' ' && k.back() != ' '));
    FUZZ_CHECK(condition.substr(0, equals).find(k) != std::string::npos);
    FUZZ_CHECK(condition.substr(equals + 1).find(v) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::silenceLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A path comes from a command line or a C string: it holds no NUL.
    std::string whole(reinterpret_cast<const char*>(data), size);
    whole = whole.substr(0, whole.find('\0'));
    const XString path(whole);
    checkSplitPath(path, whole);
    checkSplitCondition(path, whole);
    return 0;
}
