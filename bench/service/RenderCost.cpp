// render_cost: what loading a places file and rendering pages from it cost (bench/render-cost).
//   render_cost PLACES_FILE [LAND...]   (lands default: 224 76)
// Prints the load time, then per land: a render that computes every sun cell (as each
// render did before the cells were kept), a minute's render from kept cells (mean and worst
// over 120 minutes, looking ahead after each as the page cache does), and the page's size;
// last, one minute of every country's page.

#include "model/CityTable.h"
#include "model/CountryPage.h"

#include <date/date.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Seconds = std::chrono::duration<double>;

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return Seconds(std::chrono::steady_clock::now() - start).count() * 1000;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: render_cost PLACES_FILE [LAND...]\n", stderr);
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    const zonarium::CityTableLoad load = zonarium::loadCityTable(argv[1]);
    if (!load) {
        std::fprintf(stderr, "render_cost: %s\n", load.error.c_str());
        return 1;
    }
    std::printf("load: %zu places in %.1f ms\n", load.table.size(), millisecondsSince(start));

    std::vector<int> lands;
    for (int i = 2; i < argc; ++i) {
        lands.push_back(std::atoi(argv[i]));
    }
    if (lands.empty()) {
        lands = {224, 76};
    }
    // A fixed instant, so that runs compare: 2026-12-07 04:45:00Z.
    const zonarium::Instant base = date::sys_days{date::year{2026} / 12 / 7} +
                                   std::chrono::hours{4} + std::chrono::minutes{45};
    for (const int land : lands) {
        start = std::chrono::steady_clock::now();
        const std::size_t bytes = zonarium::CountryPage(land, load.table).render(base).tail.size();
        const double everyCell = millisecondsSince(start);

        zonarium::CountryPage page(land, load.table);
        page.render(base);
        double total = 0;
        double worst = 0;
        constexpr int kMinutes = 120;
        for (int minute = 1; minute <= kMinutes; ++minute) {
            start = std::chrono::steady_clock::now();
            page.render(base + std::chrono::minutes{minute});
            const double took = millisecondsSince(start);
            // As the page cache does after answering: the next date's cells before midnight.
            page.prepareAhead(base + std::chrono::minutes{minute}, std::chrono::minutes{15});
            total += took;
            worst = std::max(worst, took);
        }
        std::printf(
            "land %d: %zu places, %zu bytes; computing every sun cell %.1f ms; "
            "a minute from kept cells %.2f ms mean, %.2f ms worst\n",
            land, load.table.places(land).size(), bytes, everyCell, total / kMinutes, worst);
    }

    std::vector<std::unique_ptr<zonarium::CountryPage>> pages;
    for (int land = zonarium::kFirstLand; land <= zonarium::kLastLand; ++land) {
        pages.push_back(std::make_unique<zonarium::CountryPage>(land, load.table));
        pages.back()->render(base);
    }
    start = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    for (auto& page : pages) {
        bytes += page->render(base + std::chrono::minutes{1}).tail.size();
    }
    std::printf("every country, one minute from kept cells: %.1f ms, %zu bytes\n",
                millisecondsSince(start), bytes);
    return 0;
}
