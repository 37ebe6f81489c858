#include "CountryNames.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <numeric>
#include <string_view>
#include <utility>

#include "CountryTable.h"

namespace horalux::CountryNames {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

int find(const std::string& name) {
    const std::string wanted = lower(name);
    for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
        if (lower(CountryTable::entryName(entry)) == wanted) {
            return entry;
        }
    }
    return 0;
}

std::vector<std::string> closest(const std::string& name, std::size_t count) {
    const std::string wanted = lower(name);
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
        const std::string_view country = CountryTable::entryName(entry);
        const std::string folded = lower(country);
        std::size_t score = SIZE_MAX;
        if (!wanted.empty() && folded.starts_with(wanted)) {
            score = 0;
        } else if (!wanted.empty() && folded.find(wanted) != std::string::npos) {
            score = 1;
        } else {
            const std::size_t distance = editDistance(wanted, folded);
            if (distance <= std::max<std::size_t>(2, wanted.size() / 3)) {
                score = 1 + distance;
            }
        }
        if (score != SIZE_MAX) {
            ranked.emplace_back(score, std::string(country));
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (std::size_t i = 0; i < ranked.size() && i < count; ++i) {
        names.push_back(ranked[i].second);
    }
    return names;
}

}  // namespace horalux::CountryNames
