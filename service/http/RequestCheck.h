#pragma once

#include "http/ServerOptions.h"

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <string>
#include <string_view>

namespace zonarium {

// Parser of one request; its body, if any, is read and dropped.
using RequestParser = boost::beast::http::request_parser<boost::beast::http::string_body>;

// What becomes of a request once its head, or its body, has been read.
struct RequestVerdict {
    enum class Kind {
        // Answered: the request passed every limit.
        Serve,
        // The head passed every limit but a body follows; it is read and dropped first.
        ReadBody,
        // Refused with `status` and `reason`, the connection closing after the answer.
        Refuse,
        // Nothing is answered: a deadline, a reset or a client that left mid-request.
        Drop,
    };
    Kind kind = Kind::Drop;
    int status = 0;
    std::string_view reason;
};

// The request line of the request in `parser`, as logged: rebuilt from its method, target
// and version when those were parsed, else `received` up to its first line end.
std::string requestLine(const RequestParser& parser, std::string_view received);

// The verdict on a request head whose reading ended with `ec`: `line` is its request line
// (requestLine()) and `buffered` the bytes read into the connection's buffer at that
// point. Refuses an oversized request line (414) or head (431), a body over the limit
// (413), an unreadable head (400), methods other than GET and HEAD (405), and a target or
// header block larger than `options` allow (414, 431).
RequestVerdict checkHead(boost::beast::error_code ec, const RequestParser& parser,
                         std::string_view line, std::size_t buffered, const ServerOptions& options);

// The verdict on a request body whose reading ended with `ec`.
RequestVerdict checkBody(boost::beast::error_code ec);

}  // namespace zonarium
