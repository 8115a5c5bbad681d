// The process-wide chain of loggers: building and unlinking loggers,
// starting them all at once, finding one by name, and resolving the mask a
// function traces with. Functors live in functor.cpp, the setters in
// configuration.cpp, the sinks in output.cpp.
#include <treeval/trace.h>

#include <cstdint>
#include <set>
#include <string>

// Defined together and in this order because C++ orders initialisation only
// within one file. The root's link, the counter and the console flag are
// constant-initialised, so they hold their values before any constructor
// runs: loggers of other files may be built before the root and link
// themselves in through afterRoot. The log file set is built right after the
// root and destroyed right before it.
Logger* Logger::afterRoot = nullptr;
std::uint64_t Logger::instancecount = 0;
bool Logger::_clogging = true;
Logger Logger::_main("main", nullptr);
std::set<std::string> Logger::log_files;

// Nothing here touches the root object itself, which may not be built yet.
Logger::Logger(const std::string& loggerName, const Logger* parentLogger)
    : settings(nullptr),
      parent(parentLogger ? parentLogger : &_main),
      name(loggerName),
      next(nullptr) {
    ++instancecount;
    if (this == &_main) return;
    next = afterRoot;
    afterRoot = this;
}

// Unlinks the logger and hands its children to its parent, so the chain and
// the parent links never point at a destroyed logger. The walk leaves the
// root object alone: it may be destroyed already (the root's parent is
// always itself).
Logger::~Logger() {
    delete settings;
    settings = nullptr;
    if (this == &_main) return;
    if (afterRoot == this) afterRoot = next;
    for (Logger* other = afterRoot; other; other = other->next) {
        if (other->next == this) other->next = next;
        if (other->parent == this) other->parent = parent;
    }
}

Logger* Logger::successor() const {
    return this == &_main ? afterRoot : next;
}

bool Logger::started() const {
    return settings != nullptr;
}

void Logger::start() const {
    for (const Logger* logger = this; logger; logger = logger->successor())
        if (!logger->started()) logger->settings = new Settings{{}, LOG_SEVERE, logger->name};
}

Logger* Logger::getRootLogger() {
    return &_main;
}

Logger* Logger::getClassLogger(const std::string& wanted) {
    for (Logger* logger = &_main; logger; logger = logger->successor())
        if (logger->name == wanted) return logger;
    return &_main;
}

// Called by every traced operation, so the usual case (a known function) is
// one map look-up and no string copy.
std::uint32_t Logger::effectiveMask(const std::string& function) {
    if (!started()) _main.start();
    const std::uint32_t classLevel = settings->classLevel;
    const auto entry = settings->functionLevels.try_emplace(function, classLevel).first;
    return entry->second & classLevel;
}

void Logger::trace(const std::string& function, LOG_LEVEL level, const std::string& text) {
    const std::uint32_t mask = effectiveMask(function);
    if ((mask & level) == 0) return;
    Functor<QId>(mask, function, settings->className)(level, text);
}
