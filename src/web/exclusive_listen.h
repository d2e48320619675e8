// Makes a listening socket the only one on its port before it is bound: no
// second server can take the port, not even through address reuse.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

namespace census {

// REQUIRES: acceptor is open and not yet bound.
void prepareExclusiveListen(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error);

}  // namespace census
