// Any bytes given to the dBase reader as a table either open, and then every value of
// every record reads or raises, or raise on opening; only the toolkit's exceptions may
// leave it.

#include "localtable/DbfFile.h"
#include "toolkit/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        zen::TDbfFile f("fuzz.dbf", std::vector<unsigned char>(data, data + size));
        for (size_t r = 0; r < f.RecordCount(); ++r) {
            for (size_t c = 0; c < f.Fields().size(); ++c) {
                try {
                    f.Value(r, c);
                } catch (const zen::Exception&) {
                }
            }
        }
    } catch (const zen::Exception&) {
    }
    return 0;
}
