#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <optional>
#include <string>

namespace zonarium {

// A socket listening on `host`:`port` (port 0 picks a free one) for `loop`, with addresses
// reusable at once after a restart; empty when the address cannot be used.
std::optional<boost::asio::ip::tcp::acceptor> listenOn(boost::asio::io_context& loop,
                                                       const std::string& host, int port);

}  // namespace zonarium
