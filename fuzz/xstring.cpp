// Fuzz target: a short program of XString operations read from the input,
// run on a few strings side by side with a std::string model of each. Every
// result must match the model: a string holds the bytes before the first
// NUL of what it was made from.
#include <treeval/xstring.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <string>

#include <libxml/xmlmemory.h>
#include <libxml/xmlstring.h>

#include "support.h"

namespace {

constexpr std::size_t SLOTS = 4;

std::string beforeNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

unsigned long modelRfind(const std::string& text, const std::string& needle, unsigned long start) {
    std::size_t from = start == XString::npos || start > text.size() ? text.size() : start;
    std::size_t found = text.rfind(needle, from);
    return found == std::string::npos ? XString::npos : found;
}

struct Slots {
    std::array<XString, SLOTS> strings;
    std::array<std::string, SLOTS> model;

    void check(std::size_t i) const {
        FUZZ_CHECK(strings[i].length() == model[i].size());
        FUZZ_CHECK(strings[i].stringValue("") == model[i]);
        const unsigned char* text = strings[i];
        FUZZ_CHECK(text != nullptr);
        FUZZ_CHECK(text[model[i].size()] == 0);
    }
};

// Makes a string from fresh input bytes through one of its constructors.
void make(Slots& s, std::size_t i, FuzzedDataProvider& input) {
    std::string bytes = input.ConsumeRandomLengthString(64);
    switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            s.strings[i] = XString(bytes);
            break;
        case 1:
            s.strings[i] = XString(bytes.c_str());
            break;
        case 2:
            s.strings[i] = XString(reinterpret_cast<const unsigned char*>(bytes.c_str()));
            break;
        case 3:
            s.strings[i] =
                XString(xmlStrdup(reinterpret_cast<const xmlChar*>(bytes.c_str())), true);
            break;
        default:
            s.strings[i] = XString();
            bytes.clear();
            break;
    }
    s.model[i] = beforeNul(bytes);
}

// Appending can double a string at each step; past this size the growing
// operations are skipped, which keeps every run small.
constexpr std::size_t MAX_MODEL = 4096;

void step(Slots& s, FuzzedDataProvider& input) {
    const std::size_t a = input.ConsumeIntegralInRange<std::size_t>(0, SLOTS - 1);
    const std::size_t b = input.ConsumeIntegralInRange<std::size_t>(0, SLOTS - 1);
    int operation = input.ConsumeIntegralInRange(0, 9);
    const bool grows = operation == 3 || operation == 4 || operation == 9;
    if (grows && s.model[a].size() + s.model[b].size() > MAX_MODEL) operation = 7;
    switch (operation) {
        case 0:
            make(s, a, input);
            break;
        case 1:
            s.strings[a] = s.strings[b];
            s.model[a] = s.model[b];
            break;
        case 2: {
            XString copy(s.strings[b]);
            FUZZ_CHECK(copy.stringValue("") == s.model[b]);
            s.strings[a] = copy;
            s.model[a] = s.model[b];
            break;
        }
        case 3:
            s.strings[a] += s.strings[b];
            s.model[a] += s.model[b];
            break;
        case 4: {
            XString sum = s.strings[a] + s.strings[b];
            FUZZ_CHECK(sum.stringValue("") == s.model[a] + s.model[b]);
            std::string tail = s.model[b];
            XString left = s.strings[a] + tail.c_str();
            FUZZ_CHECK(left.stringValue("") == s.model[a] + tail);
            XString right = tail.c_str() + s.strings[a];
            FUZZ_CHECK(right.stringValue("") == tail + s.model[a]);
            s.strings[a] = sum;
            s.model[a] += s.model[b];
            break;
        }
        case 5: {
            unsigned long pos = input.ConsumeIntegralInRange<unsigned long>(0, 80);
            unsigned long count = input.ConsumeBool()
                                      ? XString::npos
                                      : input.ConsumeIntegralInRange<unsigned long>(0, 80);
            XString part = s.strings[a].substr(pos, count);
            std::string expected = pos < s.model[a].size() ? s.model[a].substr(pos, count) : "";
            FUZZ_CHECK(part.stringValue("") == expected);
            FUZZ_CHECK(part.blank() == expected.empty());
            s.strings[b] = part;
            s.model[b] = expected;
            break;
        }
        case 6: {
            unsigned long start = input.ConsumeBool()
                                      ? XString::npos
                                      : input.ConsumeIntegralInRange<unsigned long>(0, 80);
            FUZZ_CHECK(s.strings[a].rfind(s.strings[b], start) ==
                       modelRfind(s.model[a], s.model[b], start));
            FUZZ_CHECK(s.strings[a].rfind(s.model[b].c_str(), start) ==
                       modelRfind(s.model[a], s.model[b], start));
            break;
        }
        case 7:
            FUZZ_CHECK((s.strings[a] == s.strings[b]) == (s.model[a] == s.model[b]));
            FUZZ_CHECK((s.strings[a] != s.strings[b]) == (s.model[a] != s.model[b]));
            break;
        case 8: {
            unsigned int pos = input.ConsumeIntegralInRange<unsigned int>(0, 80);
            if (pos <= s.model[a].size()) {
                unsigned char expected =
                    pos < s.model[a].size() ? static_cast<unsigned char>(s.model[a][pos]) : 0;
                FUZZ_CHECK(s.strings[a][pos] == expected);
            }
            break;
        }
        default:
            s.strings[a] += s.strings[a];
            s.model[a] += s.model[a];
            break;
    }
    s.check(a);
    s.check(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Slots slots;
    for (int steps = 0; steps < 64 && input.remaining_bytes() > 0; ++steps)
        step(slots, input);
    for (std::size_t i = 0; i < SLOTS; ++i)
        slots.check(i);
    return 0;
}
