// Any bytes as a record: its name, filter and directory texts, the run's
// check boxes and the blob. Recognition, naming and the record filter must
// neither crash nor read outside their inputs, and what they hand back must
// keep its promises: the start position lies inside the blob, the path only
// grows by an extension, the file name never leaves its directory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "engine/output_naming.h"
#include "engine/recognition.h"
#include "engine/record_filter.h"

namespace {

void Check(bool promise) {
    if (!promise) std::abort();
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static corvid::Recogniser recogniser;  // reused record after record, as in a run
    FuzzedDataProvider input(data, size);
    corvid::RecognitionOptions options;
    options.nameFromField1 = input.ConsumeBool();
    options.skipUnknown = input.ConsumeBool();
    options.deepSearch = input.ConsumeBool();
    const bool filterAsDirectory = input.ConsumeBool();
    const std::string filterBox = input.ConsumeBool() ? "dmp" : input.ConsumeRandomLengthString(8);
    options.filterFieldBox = filterBox;
    const std::string directoryText = input.ConsumeRandomLengthString(64);
    const std::string filterValue = input.ConsumeRandomLengthString(32);
    const std::string filterText = input.ConsumeRandomLengthString(64);
    const std::string name1 = input.ConsumeRandomLengthString(300);
    const std::string name2 = input.ConsumeRandomLengthString(64);
    // The blob gets a buffer of its own size, so that reading past it is seen.
    const std::vector<std::uint8_t> rest = input.ConsumeRemainingBytes<std::uint8_t>();
    const std::span<const std::byte> blob(reinterpret_cast<const std::byte*>(rest.data()),
                                          rest.size());

    const corvid::PreparedFilter filter = corvid::PrepareFilter(filterValue);
    const corvid::FilterOutcome outcome =
        corvid::TestRecordFilter(filter, filterText, name1, name2);
    if (filterText.empty()) Check(outcome.pass && !outcome.logLine);
    (void)corvid::WholeIntegerOrMinusOne(filterText);

    const std::string directory =
        corvid::OutputDirectory(directoryText, filterAsDirectory, filterText);
    Check(StartsWith(directory, directoryText));
    const std::string base = corvid::OutputName(directory, name1, name2, options.nameFromField1);
    Check(StartsWith(base, directory));
    Check(base.find('/', directory.size()) == std::string::npos);

    std::string path = base;
    const corvid::RecognitionResult result = recogniser.Recognise(blob, path, options);
    Check(StartsWith(path, base));
    Check(result.startPosition >= 1 && result.startPosition <= blob.size() + 1);
    return 0;
}
