// Writes the benchmark documents to standard output: the same bytes for the
// same arguments on every machine. The layout is the indented form the
// command itself saves, so a set changes a file's size only by its value.
// Kinds: wide (many small items), deep (chains near the parser's depth
// limit), text (one text node near the parser's size limit), tiny.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const USAGE =
    "Usage: gendoc wide|deep|text|tiny [megabytes]\n"
    "Writes a deterministic XML document of about that size to standard output.\n";

const char* const HEADER = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// A fixed linear congruential sequence: portable and the same everywhere.
class Sequence {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }

private:
    std::uint64_t state_ = 20261201;
};

const char* const WORDS[] = {"alpha", "bravo",  "charlie", "delta",  "echo",   "foxtrot",
                             "golf",  "hotel",  "india",   "juliet", "kilo",   "lima",
                             "mike",  "oscar",  "papa",    "quebec", "romeo",  "sierra",
                             "tango", "victor", "whiskey", "xray",   "yankee", "zulu"};
const std::uint32_t WORD_COUNT = sizeof WORDS / sizeof WORDS[0];

std::string words(Sequence& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += WORDS[random.below(WORD_COUNT)];
    }
    return text;
}

// The saved form indents two blanks a level, and no deeper than 60 blanks.
std::string indent(int level) {
    return std::string(2 * (level < 30 ? level : 30), ' ');
}

// Items of about 200 bytes, numbered from 1; the item count is printed on
// standard error so that a caller can address the middle or the last one.
void writeWide(std::size_t target) {
    Sequence random;
    std::string out = std::string(HEADER) + "<config>\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::size_t written = out.size();
    unsigned long items = 0;
    while (written < target) {
        ++items;
        const std::string id = std::to_string(items);
        out = "  <item id=\"" + id + "\">\n" + "    <name>item-" + id + "</name>\n" +
              "    <value>" + std::to_string(random.below(1000000)) + "</value>\n" + "    <owner>" +
              words(random, 1) + "</owner>\n" + "    <note>" +
              words(random, 8 + static_cast<int>(random.below(5))) + "</note>\n" + "  </item>\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        written += out.size();
    }
    std::fputs("</config>\n", stdout);
    std::fprintf(stderr, "%lu\n", items);
}

// Chains of nested elements 200 levels deep, each ending in a short text.
void writeDeep(std::size_t target) {
    const int depth = 200;
    Sequence random;
    std::string out = std::string(HEADER) + "<config>\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::size_t written = out.size();
    unsigned long chains = 0;
    while (written < target) {
        ++chains;
        out = indent(1) + "<chain n=\"" + std::to_string(chains) + "\">\n";
        for (int level = 2; level < depth; ++level)
            out += indent(level) + "<d>\n";
        out += indent(depth) + "<leaf>" + words(random, 3) + "</leaf>\n";
        for (int level = depth - 1; level >= 2; --level)
            out += indent(level) + "</d>\n";
        out += indent(1) + "</chain>\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        written += out.size();
    }
    std::fputs("</config>\n", stdout);
    std::fprintf(stderr, "%lu\n", chains);
}

// One text node; the parser refuses text nodes above 10,000,000 bytes.
void writeText(std::size_t target) {
    const std::size_t limit = 9500000;
    if (target > limit) target = limit;
    Sequence random;
    std::string out = std::string(HEADER) + "<config>\n  <text>";
    std::size_t length = 0;
    while (length < target) {
        const std::string word = std::string(length ? " " : "") + WORDS[random.below(WORD_COUNT)];
        out += word;
        length += word.size();
    }
    out += "</text>\n</config>\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fprintf(stderr, "1\n");
}

void writeTiny() {
    std::fputs(HEADER, stdout);
    std::fputs("<config>\n  <item id=\"1\">\n    <name>item-1</name>\n  </item>\n</config>\n",
               stdout);
    std::fprintf(stderr, "1\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs(USAGE, stderr);
        return 1;
    }
    const std::string kind = argv[1];
    char* end = nullptr;
    const double megabytes = argc == 3 ? std::strtod(argv[2], &end) : 1.0;
    if ((argc == 3 && (*end != '\0' || end == argv[2])) || !(megabytes > 0) || megabytes > 4000) {
        std::fputs(USAGE, stderr);
        return 1;
    }
    const auto target = static_cast<std::size_t>(megabytes * 1000 * 1000);
    if (kind == "wide")
        writeWide(target);
    else if (kind == "deep")
        writeDeep(target);
    else if (kind == "text")
        writeText(target);
    else if (kind == "tiny")
        writeTiny();
    else {
        std::fputs(USAGE, stderr);
        return 1;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "gendoc: write error: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
