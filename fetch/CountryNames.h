#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace horalux {

// Country names as a person types them, matched against the entries of CountryTable: the
// name the list shows, and for every ISO 3166-1 code an entry lists, the code's alpha-2
// and alpha-3 forms and its English names (data/country-aliases.tsv). ASCII letter case is
// ignored; other bytes must match exactly (UTF-8, or the names' unaccented forms).
namespace CountryNames {

// Every entry (1 to 236) `name` names, in list order: none, one, or several when the name
// is ambiguous.
std::vector<int> findAll(const std::string& name);

// The one entry `name` names; 0 when it names none or several.
int find(const std::string& name);

// The closest names to `name`, one per entry and best first, at most `count`: names that
// start with it or hold it, then names within a small edit distance. The list's names and
// the other names take part; the codes do not.
std::vector<std::string> closest(const std::string& name, std::size_t count);

// The ISO 3166-1 codes entry `entry` lists, as alpha-2 and alpha-3 pairs in the list's
// order (alpha-3 empty where the code has none); empty outside 1 to 236.
std::vector<std::pair<std::string, std::string>> isoCodesOf(int entry);

}  // namespace CountryNames
}  // namespace horalux
