#pragma once

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace zonarium {

// What the service has done, for a Prometheus scrape: requests by status, body bytes sent,
// open and evicted connections, page render times, access-log lines dropped, reloads, and the
// data in use as the labels of zonarium_data_info. Thread-safe; recording an answer is a few
// atomic operations.
class Metrics {
public:
    Metrics();
    Metrics(const Metrics&) = delete;
    Metrics& operator=(const Metrics&) = delete;

    // One answered request and the bytes of its body sent.
    void answered(int status, std::uint64_t bodyBytes);
    // One page made, in `took`.
    void pageRendered(std::chrono::nanoseconds took);
    // One reload of the places and zones, kept or refused.
    void reloaded(bool succeeded);
    // The data now serving.
    void setData(std::string_view tzdataRelease, std::size_t places);
    // Counts kept elsewhere, as they stand now: connections open, connections closed to make
    // room so far, access-log lines dropped so far. The totals never go down.
    void setConnections(std::size_t open, std::uint64_t evictedTotal);
    void setDroppedLines(std::uint64_t total);
    // Has `sample` called at the start of each text(), to set the counts kept elsewhere.
    void sampleAtScrape(std::function<void()> sample);

    // Every metric in the text exposition format.
    std::string text();

private:
    // Lowest and highest status counted under its own label; others count as 0.
    static constexpr int kFirstStatus = 100;
    static constexpr int kLastStatus = 599;

    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter>& m_requests;
    // Counters of m_requests by status, made on first use.
    std::array<std::atomic<prometheus::Counter*>, kLastStatus - kFirstStatus + 2> m_byStatus{};
    prometheus::Counter& m_bytes;
    prometheus::Gauge& m_open;
    prometheus::Counter& m_evicted;
    prometheus::Histogram& m_renderSeconds;
    prometheus::Counter& m_dropped;
    prometheus::Counter& m_reloads;
    prometheus::Counter& m_failedReloads;
    prometheus::Family<prometheus::Gauge>& m_dataInfo;

    // Guards what follows.
    std::mutex m_mutex;
    prometheus::Gauge* m_dataLabels = nullptr;
    std::function<void()> m_sample;
    // Totals last set, so that each setting adds what is new.
    std::uint64_t m_evictedSeen = 0;
    std::uint64_t m_droppedSeen = 0;
};

}  // namespace zonarium
