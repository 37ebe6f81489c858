// Cost of the reply functions and the table walk against the reply's length. Each family
// runs at 2,500 to 40,000 rows (about 0.3 to 4.8 MB); 10,000 rows is the reference reply.
// The fitted complexity of every family must come out as O(N) in bytes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "fetch/ReplyText.h"
#include "fetch/ResultTableWalker.h"

namespace {

// A service page with `rows` result rows after the heading row; its identifier link
// stands at the top, or at the very end when `linkLast` is set.
std::string makeReply(std::int64_t rows, bool linkLast = false) {
    const std::string link = "<A HREF=\"/cgi-bin/wt.cgi?ID=7f3a9c21&land=76\">Refresh</A>\n";
    std::string reply =
        "<HTML><HEAD><TITLE>Time information</TITLE></HEAD><BODY>\n" + (linkLast ? "" : link) +
        "<H3>Time information for selected cities and towns</H3>\n"
        "<TABLE CELLPADDING=4>\n"
        "<TR><TH>City/Town</TH><TH>Local time</TH><TH>UTC offset</TH><TH>Sunrise</TH>"
        "<TH>Sunset</TH></TR>\n";
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::string number = std::to_string(i);
        reply += "<TR><TD VALIGN=Top>City ";
        reply.append(number.size() < 5 ? 5 - number.size() : 0, '0');
        reply += number;
        reply +=
            "</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD><TD>06:58</TD>"
            "<TD>17:31</TD></TR>\n";
    }
    reply += "</TABLE>\n</BODY></HTML>\n";
    if (linkLast) {
        reply += link;
    }
    return reply;
}

// Near misses for every search and open markup everywhere, `rows` times about 100 bytes.
std::string makeHostile(std::int64_t rows) {
    std::string text;
    for (std::int64_t i = 0; i < rows; ++i) {
        text +=
            "<a href=\"/cgi-bin/wt.cgi?I<H3>Time information for selected cities<TD A=Top "
            "B=\"<!--<![CDATA[</TABL";
    }
    return text;
}

void finish(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.SetComplexityN(static_cast<std::int64_t>(bytes));
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_ExtractServiceId(benchmark::State& state) {
    // The identifier's link stands at the end, so the caseless search crosses the page.
    const std::string reply = makeReply(state.range(0), true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(horalux::ExtractServiceId(reply));
    }
    finish(state, reply.size());
}

void BM_CutResultTable(benchmark::State& state) {
    const std::string reply = makeReply(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(horalux::CutResultTable(reply));
    }
    finish(state, reply.size());
}

void BM_ToResultXml(benchmark::State& state) {
    const std::string reply = makeReply(state.range(0));
    const std::string table = horalux::CutResultTable(reply);
    for (auto _ : state) {
        benchmark::DoNotOptimize(horalux::ToResultXml(table));
    }
    finish(state, reply.size());
}

void BM_Walk(benchmark::State& state) {
    const std::string reply = makeReply(state.range(0));
    const std::string xml = horalux::ToResultXml(horalux::CutResultTable(reply));
    for (auto _ : state) {
        horalux::ResultTableWalker walker(xml);
        std::string line;
        std::int64_t lines = 0;
        while (walker.next(line)) {
            ++lines;
        }
        if (lines != state.range(0)) {
            state.SkipWithError("wrong count of lines");
            break;
        }
    }
    finish(state, reply.size());
}

// The whole chain as a fetch runs it, from the reply to the last line.
void BM_AllSteps(benchmark::State& state) {
    const std::string reply = makeReply(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(horalux::ExtractServiceId(reply));
        horalux::ResultTableWalker walker(horalux::ToResultXml(horalux::CutResultTable(reply)));
        std::string line;
        while (walker.next(line)) {
            benchmark::DoNotOptimize(line);
        }
    }
    finish(state, reply.size());
}

void BM_AllStepsHostile(benchmark::State& state) {
    const std::string text = makeHostile(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(horalux::ExtractServiceId(text));
        benchmark::DoNotOptimize(horalux::CutResultTable(text));
        benchmark::DoNotOptimize(horalux::ResultLines(horalux::ToResultXml(text)));
        benchmark::DoNotOptimize(horalux::ResultLines(text));
    }
    finish(state, text.size());
}

void rows(benchmark::internal::Benchmark* b) {
    b->Arg(2500)
        ->Arg(5000)
        ->Arg(10000)
        ->Arg(20000)
        ->Arg(40000)
        ->Unit(benchmark::kMillisecond)
        ->Complexity(benchmark::oN);
}

BENCHMARK(BM_ExtractServiceId)->Apply(rows);
BENCHMARK(BM_CutResultTable)->Apply(rows);
BENCHMARK(BM_ToResultXml)->Apply(rows);
BENCHMARK(BM_Walk)->Apply(rows);
BENCHMARK(BM_AllSteps)->Apply(rows);
BENCHMARK(BM_AllStepsHostile)->Apply(rows);

}  // namespace

BENCHMARK_MAIN();
