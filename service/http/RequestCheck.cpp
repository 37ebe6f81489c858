#include "http/RequestCheck.h"

#include <boost/beast/http/error.hpp>

namespace zonarium {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

bool isParseError(const beast::error_code& ec) {
    return ec.category() == http::make_error_code(http::error::bad_method).category();
}

// Bytes of the header block as sent: names, values, ": " and CR LF.
std::size_t headerBlockSize(const http::fields& fields) {
    std::size_t size = 0;
    for (const auto& field : fields) {
        size += field.name_string().size() + field.value().size() + 4;
    }
    return size;
}

RequestVerdict verdict(RequestVerdict::Kind kind, int status = 0, std::string_view reason = {}) {
    return {kind, status, reason};
}

RequestVerdict refuse(int status, std::string_view reason) {
    return verdict(RequestVerdict::Kind::Refuse, status, reason);
}

}  // namespace

std::string requestLine(const RequestParser& parser, std::string_view received) {
    const auto& request = parser.get();
    // The request line is parsed before the fields; a refused body leaves the header
    // consumed and the header not marked done.
    if (request.method_string().empty()) {
        // Not parsed: the received bytes start with the request line.
        return std::string(received.substr(0, received.find_first_of("\r\n")));
    }
    const unsigned version = request.version();
    std::string line(view(request.method_string()));
    line += ' ';
    line += view(request.target());
    line += " HTTP/" + std::to_string(version / 10) + '.' + std::to_string(version % 10);
    return line;
}

RequestVerdict checkHead(beast::error_code ec, const RequestParser& parser, std::string_view line,
                         std::size_t buffered, const ServerOptions& options) {
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
        if (line.size() == buffered || line.size() > options.maxTargetBytes) {
            return refuse(414, "The request line is too long.");
        }
        return refuse(431, "The request head is too large.");
    }
    if (ec == http::error::body_limit) {
        return refuse(413, "The request body is too large.");
    }
    if (ec && isParseError(ec) && ec != http::error::end_of_stream &&
        ec != http::error::partial_message) {
        return refuse(400, "The request could not be read.");
    }
    if (ec) {
        return verdict(RequestVerdict::Kind::Drop);
    }
    const auto& request = parser.get();
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        return refuse(405, "Only GET and HEAD are served.");
    }
    if (request.target().size() > options.maxTargetBytes) {
        return refuse(414, "The request target is too long.");
    }
    if (headerBlockSize(request.base()) > options.maxHeaderBytes) {
        return refuse(431, "The request header block is too large.");
    }
    return verdict(parser.is_done() ? RequestVerdict::Kind::Serve : RequestVerdict::Kind::ReadBody);
}

RequestVerdict checkBody(beast::error_code ec) {
    if (ec == http::error::body_limit) {
        return refuse(413, "The request body is too large.");
    }
    return verdict(ec ? RequestVerdict::Kind::Drop : RequestVerdict::Kind::Serve);
}

}  // namespace zonarium
