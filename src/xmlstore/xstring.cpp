// XString: construction, the cached length, comparison, searching, substrings
// and concatenation over one buffer from the XML library's allocator. Every
// result gets a buffer of its own; no two strings ever share one.
#include <treeval/xstring.h>

#include <climits>

#include <libxml/xmlmemory.h>
#include <libxml/xmlstring.h>

namespace {

constexpr std::int64_t UNKNOWN_LENGTH = -1;

xmlChar const* asXml(char const* text) {
    return reinterpret_cast<xmlChar const*>(text);
}

// xmlStrcat grows the buffer in place and keeps the old one when it cannot
// grow it. The text then still ends at the old length, so the new length is
// read from where the appended bytes would start (they hold no NUL).
std::int64_t lengthAfterAppend(xmlChar const* text, std::int64_t oldLength, unsigned long added) {
    return text[oldLength] != 0 ? oldLength + static_cast<std::int64_t>(added) : oldLength;
}

}  // namespace

XString::XString() : buffer(nullptr), cachedLength(0) {}

XString::XString(unsigned char const* text)
    : buffer(xmlStrdup(text)), cachedLength(UNKNOWN_LENGTH) {}

XString::XString(unsigned char* text, bool adopt)
    : buffer(adopt ? text : xmlStrdup(text)), cachedLength(UNKNOWN_LENGTH) {}

XString::XString(char const* text) : buffer(xmlStrdup(asXml(text))), cachedLength(UNKNOWN_LENGTH) {}

// An XString holds no NUL byte, so a standard string contributes the bytes
// before its first NUL; one that is empty up to there gives a blank string.
// Text beyond what the library's int lengths can address reads as empty,
// as after a failed allocation.
XString::XString(std::string const& text) : buffer(nullptr), cachedLength(0) {
    std::size_t textLength = text.find('\0');
    if (textLength == std::string::npos) textLength = text.size();
    if (textLength == 0 || textLength > static_cast<std::size_t>(INT_MAX)) return;
    buffer = xmlStrndup(asXml(text.data()), static_cast<int>(textLength));
    cachedLength = static_cast<std::int64_t>(textLength);
}

// Asking the source's length may release its empty buffer; the copy then
// gets a fresh empty buffer of its own and never reads the released one.
XString::XString(XString const& other) : buffer(nullptr), cachedLength(other.cachedLength) {
    if (other.buffer == nullptr) return;
    unsigned long sourceLength = other.length();
    if (other.buffer == nullptr) {
        buffer = xmlStrndup(asXml(""), 0);
        cachedLength = UNKNOWN_LENGTH;
        return;
    }
    buffer = xmlStrndup(other.buffer, static_cast<int>(sourceLength));
}

XString::~XString() {
    if (buffer != nullptr) xmlFree(buffer);
}

XString& XString::operator=(XString const& other) {
    if (this == &other) return *this;
    if (buffer != nullptr) xmlFree(buffer);
    buffer = xmlStrdup(other.buffer);
    cachedLength = other.cachedLength;
    return *this;
}

// Blank strings hand out the text of one shared empty string. It is built
// on first use under the thread-safe initialisation of local statics; its
// destructor joins the atexit handlers when the construction completes, so
// it lives until program exit. Nobody asks its length, so it keeps its
// buffer.
XString::operator unsigned char const*() const {
    if (buffer != nullptr) return buffer;
    static XString const emptyxmls(xmlStrdup(asXml("")), true);
    return emptyxmls.buffer;
}

// Read through the pointer conversion, so that position 0 of a blank string
// is the terminating NUL rather than a null dereference.
unsigned char XString::operator[](unsigned int pos) const {
    return static_cast<unsigned char const*>(*this)[pos];
}

unsigned long XString::length() const {
    if (buffer == nullptr) return 0;
    if (cachedLength == UNKNOWN_LENGTH) cachedLength = xmlStrlen(buffer);
    if (cachedLength != 0) return static_cast<unsigned long>(cachedLength);
    xmlFree(buffer);
    buffer = nullptr;
    return 0;
}

bool XString::blank() const {
    return buffer == nullptr;
}

bool XString::operator==(XString const& other) const {
    unsigned long ownLength = length();
    if (ownLength != other.length()) return false;
    if (ownLength == 0) return true;
    return xmlStrncmp(buffer, other.buffer, static_cast<int>(ownLength)) == 0;
}

bool XString::operator!=(XString const& other) const {
    return !(*this == other);
}

// Appending a string to itself goes through a copy: xmlStrcat may move the
// buffer before it reads the bytes to append.
XString XString::operator+=(XString const& other) {
    if (&other == this) return *this += XString(other);
    unsigned long ownLength = length();
    if (ownLength == 0) {
        *this = other;
        return *this;
    }
    unsigned long otherLength = other.length();
    if (otherLength == 0) return *this;
    buffer = xmlStrcat(buffer, other.buffer);
    cachedLength = lengthAfterAppend(buffer, cachedLength, otherLength);
    return *this;
}

unsigned long XString::rfind(XString const& needle, unsigned long start) const {
    unsigned long ownLength = length();
    int needleLength = static_cast<int>(needle.length());
    unsigned char const* text = *this;
    unsigned char const* pattern = needle;
    unsigned long first = start == npos || start > ownLength ? ownLength : start;
    for (unsigned long pos = first + 1; pos-- > 0;) {
        if (xmlStrncmp(text + pos, pattern, needleLength) == 0) return pos;
    }
    return npos;
}

unsigned long XString::rfind(char const* needle, unsigned long start) const {
    return rfind(XString(needle), start);
}

// A start at or past the end gives nothing, and a count reaching past the
// end is clipped to it, so xmlStrsub never copies beyond the terminating NUL.
XString XString::substr(unsigned long pos, unsigned long count) const {
    if (count == 0) return XString();
    unsigned long ownLength = length();
    if (pos >= ownLength) return XString();
    unsigned long available = ownLength - pos;
    if (count > available) count = available;
    XString result;
    result.buffer = xmlStrsub(buffer, static_cast<int>(pos), static_cast<int>(count));
    result.cachedLength = static_cast<std::int64_t>(count);
    return result;
}

std::string XString::stringValue(std::string const&) const {
    unsigned long ownLength = length();
    if (ownLength == 0) return std::string();
    return std::string(reinterpret_cast<char const*>(buffer), ownLength);
}

std::ostream& operator<<(std::ostream& out, XString const& s) {
    if (s.blank()) return out;
    unsigned long length = s.length();
    unsigned char const* text = s;
    return out.write(reinterpret_cast<char const*>(text), static_cast<std::streamsize>(length));
}

XString operator+(XString const& left, char const* right) {
    if (left.length() == 0) return XString(right);
    XString result(left);
    result += XString(right);
    return result;
}

XString operator+(XString const& left, XString const& right) {
    if (left.length() == 0) return XString(right);
    if (right.length() == 0) return XString(left);
    XString result(left);
    result += right;
    return result;
}

XString operator+(char const* left, XString const& right) {
    if (right.length() == 0) return XString(left);
    XString result(left);
    result += right;
    return result;
}
