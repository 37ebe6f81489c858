#include "fetch/CountryTable.h"

#include "Countries.h"

namespace horalux::CountryTable {
namespace {

using countries::kCountries;
static_assert(kCountries.size() == kEntryCount - 1, "the list holds every country once");
static_assert(kCountries[kDefaultEntry - 1].name == "USA", "the default entry is the USA");

}  // namespace

std::string_view entryName(int entry) {
    if (entry < 1 || entry >= kEntryCount) {
        return {};
    }
    return kCountries[static_cast<std::size_t>(entry - 1)].name;
}

std::optional<std::int32_t> itemData(int position) {
    if (position < 0 || position >= kEntryCount) {
        return std::nullopt;
    }
    if (position == kEntryCount - 1) {
        return 0;
    }
    return kCountries[static_cast<std::size_t>(position)].code;
}

std::optional<std::int32_t> codeOf(int entry) {
    if (entry < 1 || entry >= kEntryCount) {
        return std::nullopt;
    }
    return itemData(entry - 1);
}

}  // namespace horalux::CountryTable
