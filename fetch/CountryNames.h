#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace horalux {

// Country names as a person types them, matched against the entries of CountryTable.
namespace CountryNames {

// The entry (1 to 236) whose name is `name`, ignoring ASCII letter case; 0 when none is.
int find(const std::string& name);

// The closest country names to `name`, best first, at most `count`: names that start with
// it or hold it, then names within a small edit distance.
std::vector<std::string> closest(const std::string& name, std::size_t count);

}  // namespace CountryNames
}  // namespace horalux
