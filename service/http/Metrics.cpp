#include "http/Metrics.h"

#include <prometheus/text_serializer.h>

#include <sstream>
#include <utility>

namespace zonarium {

namespace {

// Page render times, seconds: from a small country's minute to a first render of the
// largest.
const prometheus::Histogram::BucketBoundaries kRenderBuckets{
    0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0};

}  // namespace

Metrics::Metrics()
    : m_registry(std::make_shared<prometheus::Registry>()),
      m_requests(prometheus::BuildCounter()
                     .Name("zonarium_http_requests_total")
                     .Help("Requests answered, by status")
                     .Register(*m_registry)),
      m_bytes(prometheus::BuildCounter()
                  .Name("zonarium_http_body_bytes_sent_total")
                  .Help("Bytes of answer bodies sent")
                  .Register(*m_registry)
                  .Add({})),
      m_open(prometheus::BuildGauge()
                 .Name("zonarium_connections_open")
                 .Help("Client connections open")
                 .Register(*m_registry)
                 .Add({})),
      m_evicted(prometheus::BuildCounter()
                    .Name("zonarium_connections_evicted_total")
                    .Help("Idle connections closed to make room for new ones")
                    .Register(*m_registry)
                    .Add({})),
      m_renderSeconds(prometheus::BuildHistogram()
                          .Name("zonarium_page_render_seconds")
                          .Help("Time to make one country's page")
                          .Register(*m_registry)
                          .Add({}, kRenderBuckets)),
      m_dropped(prometheus::BuildCounter()
                    .Name("zonarium_access_log_lines_dropped_total")
                    .Help("Access-log lines dropped because the log's reader fell behind")
                    .Register(*m_registry)
                    .Add({})),
      m_reloads(prometheus::BuildCounter()
                    .Name("zonarium_reloads_total")
                    .Help("Reloads of places and zones that took effect")
                    .Register(*m_registry)
                    .Add({})),
      m_failedReloads(prometheus::BuildCounter()
                          .Name("zonarium_reloads_failed_total")
                          .Help("Reloads refused; the data before them kept serving")
                          .Register(*m_registry)
                          .Add({})),
      m_dataInfo(prometheus::BuildGauge()
                     .Name("zonarium_data_info")
                     .Help("The data serving: tzdata release and number of places")
                     .Register(*m_registry)) {}

void Metrics::answered(int status, std::uint64_t bodyBytes) {
    const int index =
        status >= kFirstStatus && status <= kLastStatus ? status - kFirstStatus + 1 : 0;
    prometheus::Counter* counter = m_byStatus[index].load(std::memory_order_acquire);
    if (counter == nullptr) {
        // Add() hands back the same counter for the same labels, so racing callers agree.
        counter =
            &m_requests.Add({{"code", index == 0 ? std::string("other") : std::to_string(status)}});
        m_byStatus[index].store(counter, std::memory_order_release);
    }
    counter->Increment();
    m_bytes.Increment(static_cast<double>(bodyBytes));
}

namespace {

// Adds to `counter` what `total` has grown by since `seen`.
void advance(prometheus::Counter& counter, std::uint64_t total, std::uint64_t& seen) {
    if (total > seen) {
        counter.Increment(static_cast<double>(total - seen));
        seen = total;
    }
}

}  // namespace

void Metrics::setConnections(std::size_t open, std::uint64_t evictedTotal) {
    const std::lock_guard lock(m_mutex);
    m_open.Set(static_cast<double>(open));
    advance(m_evicted, evictedTotal, m_evictedSeen);
}

void Metrics::setDroppedLines(std::uint64_t total) {
    const std::lock_guard lock(m_mutex);
    advance(m_dropped, total, m_droppedSeen);
}

void Metrics::sampleAtScrape(std::function<void()> sample) {
    const std::lock_guard lock(m_mutex);
    m_sample = std::move(sample);
}

void Metrics::pageRendered(std::chrono::nanoseconds took) {
    m_renderSeconds.Observe(std::chrono::duration<double>(took).count());
}

void Metrics::reloaded(bool succeeded) {
    (succeeded ? m_reloads : m_failedReloads).Increment();
}

void Metrics::setData(std::string_view tzdataRelease, std::size_t places) {
    const std::lock_guard lock(m_mutex);
    if (m_dataLabels != nullptr) {
        m_dataInfo.Remove(m_dataLabels);
    }
    m_dataLabels = &m_dataInfo.Add(
        {{"tzdata", std::string(tzdataRelease)}, {"places", std::to_string(places)}});
    m_dataLabels->Set(1);
}

std::string Metrics::text() {
    std::function<void()> sample;
    {
        const std::lock_guard lock(m_mutex);
        sample = m_sample;
    }
    if (sample) {
        sample();
    }
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, m_registry->Collect());
    return std::move(out).str();
}

}  // namespace zonarium
