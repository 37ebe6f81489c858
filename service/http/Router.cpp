#include "http/Router.h"

#include "http/Query.h"
#include "model/Page.h"

#include <string>
#include <utility>

namespace zonarium {

namespace {

// The health answer is one ASCII line, for scripts and checkers rather than browsers.
constexpr std::string_view kHealthContentType = "text/plain; charset=US-ASCII";

// The country with the fewest places among those with any; 0 when the table has none. Its
// page is the cheapest proof that pages can be made.
int smallestLand(const CityTable& table) {
    int smallest = 0;
    for (int land = kFirstLand; land <= kLastLand; ++land) {
        const std::size_t places = table.places(land).size();
        if (places > 0 && (smallest == 0 || places < table.places(smallest).size())) {
            smallest = land;
        }
    }
    return smallest;
}

// The health answer's body after its first word.
std::string healthFacts(const CityTable& table) {
    return " tzdata " + table.tzdataRelease() + " places " + std::to_string(table.size()) + "\n";
}

Reply healthReply(bool healthy, const std::string& facts) {
    Reply reply;
    reply.status = healthy ? 200 : 503;
    reply.contentType = kHealthContentType;
    reply.front = (healthy ? "ok" : "unavailable") + facts;
    return reply;
}

}  // namespace

void Router::route(std::string_view target, Answer answer) const {
    const PageQuery query = parsePageQuery(target);
    switch (query.status) {
        case PageQuery::Status::Health:
            return health(std::move(answer));
        case PageQuery::Status::NoSuchPath:
            return answer(errorReply(404, "No such page."));
        case PageQuery::Status::LandMissing:
            return answer(errorReply(400, "Exactly one land parameter is required."));
        case PageQuery::Status::LandNotANumber:
            return answer(errorReply(400, "The land parameter must be a country number."));
        case PageQuery::Status::LandOutOfRange:
            return answer(errorReply(404, "No places are known for this country number."));
        case PageQuery::Status::Page:
            break;
    }
    if (m_cache.table()->places(query.land).empty()) {
        return answer(errorReply(404, "No places are known for this country number."));
    }
    std::string identifier =
        isWellFormedIdentifier(query.identifier) ? std::string(query.identifier) : newIdentifier();
    m_cache.parts(query.land, m_clock(),
                  [answer = std::move(answer),
                   identifier = std::move(identifier)](std::shared_ptr<const CachedPage> parts) {
                      if (!parts) {
                          answer(errorReply(503, "The page could not be made; please try again."));
                          return;
                      }
                      Reply reply;
                      reply.front.reserve(parts->head.size() + identifier.size());
                      reply.front = parts->head;
                      reply.front += identifier;
                      reply.parts = std::move(parts);
                      answer(std::move(reply));
                  });
}

Reply Router::late(std::string_view target) const {
    Reply reply = parsePageQuery(target).status == PageQuery::Status::Health
                      ? healthReply(false, healthFacts(*m_cache.table()))
                      : errorReply(503, "The page is still being made; please try again.");
    reply.retryAfter = kRetryAfter;
    return reply;
}

void Router::health(Answer answer) const {
    const std::shared_ptr<const CityTable> table = m_cache.table();
    std::string facts = healthFacts(*table);
    const int probeLand = smallestLand(*table);
    if (probeLand == 0) {
        return answer(healthReply(false, facts));
    }
    m_cache.parts(probeLand, m_clock(),
                  [answer = std::move(answer),
                   facts = std::move(facts)](std::shared_ptr<const CachedPage> parts) {
                      answer(healthReply(parts != nullptr, facts));
                  });
}

}  // namespace zonarium
