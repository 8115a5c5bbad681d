// The logging library: named loggers in one process-wide chain, a class mask
// and per-function masks on each, scoped trace functors, log files, result
// tracers and message templates. Silent unless a program configures it: every
// logger starts with the class mask SEVERE.
#ifndef TREEVAL_TRACE_H
#define TREEVAL_TRACE_H

#include <cstdint>
#include <map>
#include <set>
#include <string>

// One bit per level; values of this type also hold masks (any OR of bits).
enum LOG_LEVEL {
    LOG_I = 1,
    LOG_ERR = 2,
    LOG_W = 4,
    LOG_D = 8,
    LOG_T = 16,
    LOG_C = 32,
    LOG_SEVERE = 64,
};

// Reduces a function name to its bare name: the text after the first "::"
// up to the first "(" or "<" ("XMLLoader::loadFile(bool)" gives "loadFile").
std::string strip_func(std::string function);

// A named logger. States:
// - not started: no settings; the first use of any logger starts every
//   logger of the chain at once (class mask SEVERE, no function entries);
// - started: it has its settings record, which it owns.
// Every logger sits in one chain headed by the root logger "main"; others are
// linked in right after the root as they are constructed. Each logger has a
// parent (the root when none is given); the root is its own parent.
// Single-threaded: nothing here takes a lock.
class Logger {
public:
    // Kinds of trace functor: Id writes "...starting" and "...exiting" at
    // level T around the function; QId writes only its messages; Sf ends each
    // message with " failed." (levels ERR and W) or " successful.".
    struct Id {};
    struct QId {};
    struct Sf {};

    // A scoped trace object for one function, with its mask fixed when made.
    // Returned by value from getFunctor and never copied.
    template <typename T>
    class Functor {
    public:
        Functor(unsigned int mask, const std::string& function, const std::string& className);
        ~Functor();
        Functor(const Functor&) = delete;
        Functor& operator=(const Functor&) = delete;

        // Writes one line when the level shares a bit with the mask.
        void operator()(LOG_LEVEL level, const std::string& text) const;

        // Fills "%s" and "%d" placeholders with a1..a5 in turn; any other
        // placeholder becomes "BADFORMAT(c)", a final "%" "BADFORMAT(X)".
        static std::string replace(const std::string& format, const std::string& a1,
                                   const std::string& a2, const std::string& a3,
                                   const std::string& a4, const std::string& a5);

    private:
        std::uint32_t mask;
        std::string funcName;
        std::string className;
    };

    // The parent may be null: the root logger is then the parent.
    Logger(const std::string& name, const Logger* parent);
    virtual ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    bool started() const;
    // Starts this logger and every later logger of the chain not yet started.
    void start() const;
    static Logger* getRootLogger();

    // A functor for the named function; its mask is the function's mask AND
    // the class mask (a function absent so far gets the class mask).
    template <typename T>
    Functor<T> getFunctor(const std::string& function);
    // Writes one message for the function, without entry or exit lines.
    void trace(const std::string& function, LOG_LEVEL level, const std::string& text);
    // Writes one finished line (one trailing newline dropped) to standard
    // output while console logging is on, and appends it to every log file.
    static void output(std::string line);

    // Sets the class mask and every function mask to level | SEVERE; with
    // recursive true, the same for every logger below this one.
    void setClassLevel(LOG_LEVEL level, bool recursive) const;
    // Sets one function's mask to exactly level (0 silences it entirely);
    // with recursive true, the same for every logger below this one.
    void setFunctionLevel(const std::string& function, LOG_LEVEL level, bool recursive) const;
    // Turns a level text into a mask: the last decimal digit picks the
    // verbosity (0: ERR and SEVERE ... 4 to 9: ERR W I D T SEVERE); the three
    // digits before it equal to ACCESS_CODE add level C. Writes the mask in
    // every case; true for a single digit or a text carrying the access code.
    // An empty or all-blank text gives the mask for verbosity 0 and false.
    static bool parseLogLevel(const std::string& text, LOG_LEVEL& level);
    static constexpr unsigned int ACCESS_CODE = 735;
    // The logger of exactly that name, or the root logger when none has it.
    static Logger* getClassLogger(const std::string& name);
    static void setConsoleLogging(bool on);
    // Registers a log file (each name once); with append false the file is
    // removed first. Files are opened, appended to and closed per line; one
    // that cannot be opened is skipped silently.
    static void setLogFile(const std::string& path, bool append);
    // Signal hooks with no effect: decSignal reads the decimal digits of the
    // code as hexadecimal digits (1234 gives 0x1234) and calls hexSignal.
    static void hexSignal(unsigned int code, const std::string& text);
    static void decSignal(unsigned int code, const std::string& text);

private:
    struct Settings {
        std::map<std::string, std::uint32_t> functionLevels;
        std::uint32_t classLevel;
        std::string className;
    };

    std::uint32_t effectiveMask(const std::string& function);
    bool isBelow(const Logger& ancestor) const;
    // The logger after this one in the chain.
    Logger* successor() const;

    mutable Settings* settings;
    const Logger* parent;
    std::string name;
    // The next logger; unused in the root, whose link is afterRoot.
    Logger* next;

    static Logger _main;
    // The logger right after the root: a plain pointer, valid before any
    // constructor runs, so that loggers built before the root can link in.
    static Logger* afterRoot;
    static std::uint64_t instancecount;
    static bool _clogging;
    static std::set<std::string> log_files;
};

template <typename T>
Logger::Functor<T> Logger::getFunctor(const std::string& function) {
    std::uint32_t mask = effectiveMask(function);
    return Functor<T>(mask, function, settings->className);
}

#endif
