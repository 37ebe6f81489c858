// Feeds arbitrary bytes through the reply text functions and the result table walk, both
// as a whole reply and as a table text, and checks what each must always hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fetch/ReplyText.h"
#include "fetch/ResultRow.h"
#include "fetch/ResultTableWalker.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::string withoutDoubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '"') {
            out.push_back(c);
        }
    }
    return out;
}

// The conversion only puts the declaration in front and adds double quotes.
void checkConversion(std::string_view table, const std::string& xml) {
    constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\r\n";
    check(xml.starts_with(kDeclaration));
    check(xml.size() >= kDeclaration.size() + table.size());
    check(withoutDoubleQuotes(std::string_view(xml).substr(kDeclaration.size())) ==
          withoutDoubleQuotes(table));
}

// Walks the XML text node by node; every line holds at least the three padded columns.
void walk(std::string_view xml) {
    horalux::ResultTableWalker walker(xml);
    std::string line;
    std::size_t steps = 0;
    for (;;) {
        const horalux::ResultTableWalker::Step step = walker.step(line);
        if (step == horalux::ResultTableWalker::Step::Done) {
            break;
        }
        check(++steps <= xml.size());
        if (step == horalux::ResultTableWalker::Step::Line) {
            check(line.size() >=
                  horalux::kCityWidth + horalux::kLocalTimeWidth + horalux::kSunriseWidth);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const std::string id = horalux::ExtractServiceId(input);
    check(id.find('&') == std::string::npos && id.size() <= input.size());

    const std::string table = horalux::CutResultTable(input);
    check(table.empty() || (table.ends_with("</TABLE>") && table.size() <= input.size()));

    const std::string xml = horalux::ToResultXml(table);
    checkConversion(table, xml);
    walk(xml);

    const std::string direct = horalux::ToResultXml(input);
    checkConversion(input, direct);
    walk(direct);
    walk(input);
    return 0;
}
