/* The absname command: prints the canonical absolute form of one path name,
 * taken from its single argument or from the first line of standard input.
 * It uses the C library alone; the platform's realpath does the resolving. */

#define _XOPEN_SOURCE 700

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The first line of standard input: at most 4095 bytes and a NUL. */
static char inbuffer[4096];
/* The resolved path, written by realpath. */
static char buffer[4096];

#ifdef PATH_MAX
/* realpath may write up to PATH_MAX bytes into a caller-supplied buffer. */
_Static_assert(sizeof buffer >= PATH_MAX, "buffer must hold PATH_MAX bytes");
#endif

static const char USAGE[] = "Usage: absname filename";
static const char EREAD[] = "Error reading from stdin";

enum LineRead { LINE_READ, LINE_UNREADABLE, LINE_TOO_LONG };

/* Writes text as a line to standard output and flushes it at once, so that a
 * full disk or a closed pipe becomes a failure the caller sees instead of a
 * silently lost name. */
static int printLine(const char* text) {
    if (puts(text) != EOF && fflush(stdout) != EOF) return 1;
    fprintf(stderr, "absname: write error: %s\n", strerror(errno));
    return 0;
}

static int reportResolveFailure(int error) {
    fprintf(stderr, "call to readpath failed with: %s\n", strerror(error));
    return EXIT_FAILURE;
}

/* After fgets filled inbuffer without meeting a newline: the line fits only
 * when a newline or the end of input comes next. */
static enum LineRead checkFilledLine(void) {
    int next = getchar();
    if (next != '\n' && next != EOF) return LINE_TOO_LONG;
    return ferror(stdin) ? LINE_UNREADABLE : LINE_READ;
}

/* Reads the first line of standard input into inbuffer and drops its
 * newline, if it has one. inbuffer starts zeroed and is filled once, so a
 * newline found anywhere in it was read by fgets even when the line holds
 * NUL bytes; a line whose first byte is NUL thus reads as an empty name. */
static enum LineRead readFirstLine(void) {
    if (fgets(inbuffer, sizeof inbuffer, stdin) == NULL) return LINE_UNREADABLE;
    char* newline = memchr(inbuffer, '\n', sizeof inbuffer);
    if (newline != NULL) {
        *newline = '\0';
        return LINE_READ;
    }
    if (feof(stdin)) return LINE_READ;
    return checkFilledLine();
}

static int printCanonical(const char* name) {
    if (realpath(name, buffer) == NULL) return reportResolveFailure(errno);
    return printLine(buffer) ? EXIT_SUCCESS : EXIT_FAILURE;
}

/* A name cut short by the buffer could resolve to some other file, so a line
 * too long for inbuffer fails as a name too long. */
static int printCanonicalOfFirstLine(void) {
    switch (readFirstLine()) {
        case LINE_UNREADABLE:
            fwrite(EREAD, 1, sizeof EREAD - 1, stderr);
            return EXIT_FAILURE;
        case LINE_TOO_LONG:
            return reportResolveFailure(ENAMETOOLONG);
        case LINE_READ:
            break;
    }
    return printCanonical(inbuffer);
}

int main(int argc, char** argv) {
    if (argc > 2) {
        printLine(USAGE);
        exit(EXIT_FAILURE);
    }
    exit(argc == 2 ? printCanonical(argv[1]) : printCanonicalOfFirstLine());
}
