// XString: the byte string of the document store. It owns one NUL-terminated
// buffer allocated by the XML library's allocator, so text that the library
// has just allocated can be adopted without a copy, and every XString can be
// handed to the library as a pointer that is never null.
#ifndef TREEVAL_XSTRING_H
#define TREEVAL_XSTRING_H

#include <cstdint>
#include <ostream>
#include <string>

#include <treeval/object.h>

// States:
// - blank: the buffer is null. The cached length carries no meaning; every
//   operation treats the string as empty.
// - non-blank empty: the buffer holds only the NUL. This lasts until the
//   length is first asked, which releases the buffer and makes it blank.
// - holding text: the buffer holds one or more bytes.
// The cached length is -1 until computed; once computed it equals the number
// of bytes before the NUL. Both fields change in const operations (asking the
// length fills the cache and may release an empty buffer), so an XString is
// never used from two threads at once. Positions and lengths count bytes.
class XString : public Object {
public:
    // Blank.
    XString();
    // A copy of the text; blank when the argument is null.
    XString(unsigned char const* text);
    // With adopt true the string takes over the buffer (it must come from
    // the library's allocator); with adopt false it copies the text.
    XString(unsigned char* text, bool adopt);
    // A copy of the text; blank when the argument is null.
    XString(char const* text);
    // Blank for an empty string, else a copy whose length is known at once.
    XString(std::string const& text);
    // The copy starts from the source's cached length; copying a non-blank
    // empty source turns the source blank and gives a non-blank empty copy.
    XString(XString const& other);
    ~XString() override;

    // Self-assignment does nothing; otherwise copies the buffer and the
    // source's cached length without asking the source for its length.
    XString& operator=(XString const& other);

    // The text for the library: never null; a blank string gives the one
    // shared empty string, which lives until program exit.
    operator unsigned char const*() const;

    // The byte at pos; the string must not be blank and pos <= length().
    unsigned char operator[](unsigned int pos) const;

    // The number of bytes, computed once; releases an empty buffer.
    unsigned long length() const;
    // True exactly when the buffer is null (does not ask the length).
    bool blank() const;

    // Same bytes; blank and non-blank empty strings are equal.
    bool operator==(XString const& other) const;
    bool operator!=(XString const& other) const;

    // Appends in place and returns a copy of the result.
    XString operator+=(XString const& other);

    // The last position at or before start where needle occurs; start of
    // npos searches from the end. npos when the needle does not occur.
    unsigned long rfind(XString const& needle, unsigned long start) const;
    unsigned long rfind(char const* needle, unsigned long start) const;

    // count bytes from pos (npos: up to the end, clipped at the end);
    // blank when that is nothing.
    XString substr(unsigned long pos, unsigned long count) const;

    // Exactly the string's bytes; the argument has no influence.
    std::string stringValue(std::string const& unused) const;

    static constexpr unsigned long npos = static_cast<unsigned long>(-1);

private:
    mutable unsigned char* buffer;
    mutable std::int64_t cachedLength;
};

// Writes the bytes unformatted; a blank string writes nothing.
std::ostream& operator<<(std::ostream& out, XString const& s);

XString operator+(XString const& left, char const* right);
XString operator+(XString const& left, XString const& right);
XString operator+(char const* left, XString const& right);

#endif
