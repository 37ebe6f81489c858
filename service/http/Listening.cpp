#include "http/Listening.h"

namespace zonarium {

namespace net = boost::asio;
using tcp = net::ip::tcp;

std::optional<tcp::acceptor> listenOn(net::io_context& loop, const std::string& host, int port) {
    if (port < 0 || port > 65535) {
        return std::nullopt;
    }
    boost::system::error_code ec;
    tcp::resolver resolver(loop);
    const auto endpoints = resolver.resolve(
        host, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || endpoints.empty()) {
        return std::nullopt;
    }
    tcp::acceptor acceptor(loop);
    const tcp::endpoint endpoint = *endpoints.begin();
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(net::socket_base::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        return std::nullopt;
    }
    return acceptor;
}

}  // namespace zonarium
