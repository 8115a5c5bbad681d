// The document store's class loggers. They live in one file because the
// implementation's logger names the facade's as its parent: only the address
// is taken while the facade's logger is not yet built, and within one file
// C++ constructs them in the order written and destroys them in reverse.
#include <treeval/xmlloader.h>

#include "xmlloaderimpl.h"

Logger XMLLoaderImpl::logger("XMLLoaderImpl", &XMLLoader::logger);
Logger XMLLoader::logger("XMLLoader", nullptr);

Logger* XMLLoader::getLogger() {
    return &logger;
}
