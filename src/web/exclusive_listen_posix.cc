// POSIX: a listening port is never shared without SO_REUSEPORT, which is not
// set. SO_REUSEADDR only lets a restarted server have the port while
// connections of the last one linger in TIME_WAIT.
#include "web/exclusive_listen.h"

namespace census {

void prepareExclusiveListen(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error) {
  acceptor.set_option(boost::asio::socket_base::reuse_address(true), error);
}

}  // namespace census
