#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace horalux {

// The fixed list of countries shown by the country combo box, and the numeric codes the
// time service expects for them. Entry 0 is empty; entries 1 to 236 are the names in
// their stored (case-insensitively ascending) order. The item data of the combo box runs
// one position behind the names: the code of entry k is stored at position k - 1.
namespace CountryTable {

// Number of combo entries, the empty entry 0 included.
inline constexpr int kEntryCount = 237;
// Entry selected at load and again by the offline watch: "USA".
inline constexpr int kDefaultEntry = 225;

// Text of combo entry `entry` (0 to 236); empty for entry 0 and outside the range.
std::string_view entryName(int entry);

// Item data stored at combo position `position` (0 to 236): the code of entry
// position + 1, and 0 at position 236. Nothing outside the range.
std::optional<std::int32_t> itemData(int position);

// Code sent for the country at entry `entry` (1 to 236), read from position entry - 1.
// Nothing for entry 0, for no selection (-1) and outside the range.
std::optional<std::int32_t> codeOf(int entry);

}  // namespace CountryTable
}  // namespace horalux
