#include "fetch/CountryNames.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string_view>
#include <utility>

#include "Countries.h"
#include "CountryAliases.h"
#include "fetch/CountryTable.h"
#include "platform/AsciiCase.h"

namespace horalux::CountryNames {
namespace {

using countries::AliasKind;

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

// The entry that lists ISO code `iso`; 0 when none does.
int entryOfIso(std::string_view iso) {
    for (std::size_t i = 0; i < countries::kCountries.size(); ++i) {
        std::string_view codes = countries::kCountries[i].iso;
        while (!codes.empty()) {
            const std::size_t comma = codes.find(',');
            if (codes.substr(0, comma) == iso) {
                return static_cast<int>(i) + 1;
            }
            codes = comma == std::string_view::npos ? std::string_view() : codes.substr(comma + 1);
        }
    }
    return 0;
}

// One name a country goes by.
struct KnownName {
    int entry;
    std::string_view text;
    AliasKind kind;
    // The list's own name.
    bool listed;
};

// Every name: the list's own in list order, then the other names in the file's order.
const std::vector<KnownName>& knownNames() {
    static const std::vector<KnownName> names = [] {
        std::vector<KnownName> all;
        for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
            all.push_back({entry, CountryTable::entryName(entry), AliasKind::Name, true});
        }
        for (const countries::Alias& alias : countries::kAliases) {
            if (const int entry = entryOfIso(alias.iso); entry != 0) {
                all.push_back({entry, alias.name, alias.kind, false});
            }
        }
        return all;
    }();
    return names;
}

}  // namespace

std::vector<int> findAll(const std::string& name) {
    const std::string wanted = lowerAscii(name);
    std::vector<int> entries;
    for (const KnownName& known : knownNames()) {
        if (lowerAscii(known.text) == wanted &&
            std::find(entries.begin(), entries.end(), known.entry) == entries.end()) {
            entries.push_back(known.entry);
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

int find(const std::string& name) {
    const std::vector<int> entries = findAll(name);
    return entries.size() == 1 ? entries[0] : 0;
}

std::vector<std::string> closest(const std::string& name, std::size_t count) {
    const std::string wanted = lowerAscii(name);
    // The best score of each entry and the name that earned it; the list's own name wins
    // a tie, as it comes first.
    std::vector<std::pair<std::size_t, std::string_view>> best(CountryTable::kEntryCount,
                                                               {SIZE_MAX, std::string_view()});
    for (const KnownName& known : knownNames()) {
        if (known.kind != AliasKind::Name) {
            continue;
        }
        const std::string folded = lowerAscii(known.text);
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
        auto& slot = best[static_cast<std::size_t>(known.entry)];
        if (score < slot.first) {
            slot = {score, known.text};
        }
    }
    std::vector<int> order(best.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return best[static_cast<std::size_t>(a)].first < best[static_cast<std::size_t>(b)].first;
    });
    std::vector<std::string> names;
    for (const int entry : order) {
        const auto& [score, text] = best[static_cast<std::size_t>(entry)];
        if (score == SIZE_MAX || names.size() >= count) {
            break;
        }
        names.emplace_back(text);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> isoCodesOf(int entry) {
    std::vector<std::pair<std::string, std::string>> codes;
    for (const KnownName& known : knownNames()) {
        if (known.entry != entry || known.listed) {
            continue;
        }
        if (known.kind == AliasKind::Alpha2) {
            codes.emplace_back(known.text, "");
        } else if (known.kind == AliasKind::Alpha3 && !codes.empty()) {
            codes.back().second = known.text;
        }
    }
    return codes;
}

}  // namespace horalux::CountryNames
