// Windows: SO_REUSEADDR would let another socket take the port from under
// this one, so it is never set; SO_EXCLUSIVEADDRUSE forbids that.
#include <winsock2.h>

#include "web/exclusive_listen.h"

namespace census {

void prepareExclusiveListen(boost::asio::ip::tcp::acceptor& acceptor,
                            boost::system::error_code& error) {
  using ExclusiveAddressUse =
      boost::asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
  acceptor.set_option(ExclusiveAddressUse(true), error);
}

}  // namespace census
