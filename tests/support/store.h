// Builds document stores from inline XML for the store's tests, and turns
// on the store's trace lines while a test looks at them.
#ifndef TREEVAL_TEST_STORE_H
#define TREEVAL_TEST_STORE_H

#include <treeval/trace.h>
#include <treeval/xmlloader.h>

#include <string>

// A store holding the document parsed from xml (none when it does not parse).
inline XMLLoader storeFrom(const std::string& xml, const std::string& fileName = "") {
    XMLLoader store(fileName);
    store.loadArray(xml.data(), static_cast<unsigned int>(xml.size()));
    return store;
}

// Enables the given levels on every logger for as long as it lives.
class TraceLevel {
public:
    explicit TraceLevel(unsigned int levels) {
        Logger::getRootLogger()->setClassLevel(static_cast<LOG_LEVEL>(levels), true);
    }
    ~TraceLevel() { Logger::getRootLogger()->setClassLevel(static_cast<LOG_LEVEL>(0), true); }
    TraceLevel(const TraceLevel&) = delete;
    TraceLevel& operator=(const TraceLevel&) = delete;
};

#endif
