// Fuzz target: arbitrary bytes loaded as a document, then queried with an
// expression taken from the input, copied, compared and cut by deletion.
// Nothing may crash, leak or read out of bounds, whatever the document.
#include <treeval/xmlloader.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::silenceLibrary();
    // Keeps the library started for the whole run: the last store to go
    // would otherwise clean it up after every input.
    static XMLLoader keeper;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string expression = input.ConsumeRandomLengthString(128);
    expression = expression.substr(0, expression.find('\0'));
    const std::string document = input.ConsumeRemainingBytesAsString();

    XMLLoader store("");
    if (!store.loadArray(document.data(), static_cast<unsigned int>(document.size()))) return 0;
    std::vector<std::string> values;
    store.getVector(expression, values, 0);
    std::vector<std::string> firstTwo;
    store.getVector(expression, firstTwo, 2);
    FUZZ_CHECK(firstTwo.size() <= 2 && firstTwo.size() <= values.size());
    store.attributeParentCount(expression);

    XMLLoader copy(store);
    FUZZ_CHECK(copy == store);
    const bool deleted = copy.deletePath(expression);
    FUZZ_CHECK(!deleted || values.size() == 1);
    return 0;
}
