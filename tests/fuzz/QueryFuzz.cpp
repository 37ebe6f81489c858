// Feeds arbitrary bytes as a request target through the page query parser and the percent
// decoding, and checks what each must always hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/Query.h"
#include "model/CityTable.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const zonarium::PageQuery query = zonarium::parsePageQuery(input);
    if (query.status == zonarium::PageQuery::Status::Page) {
        check(query.land >= zonarium::kFirstLand && query.land <= zonarium::kLastLand);
        check(input.find('?') != std::string_view::npos);
    } else {
        check(query.land == 0);
    }
    check(query.identifier.size() <= input.size());

    // Decoding never lengthens a text, and is the identity on text without '%' and '+'.
    for (const bool plusIsSpace : {false, true}) {
        const std::string decoded = zonarium::percentDecode(input, plusIsSpace);
        check(decoded.size() <= input.size());
        if (input.find_first_of("%+") == std::string_view::npos) {
            check(decoded == input);
        }
    }
    return 0;
}
