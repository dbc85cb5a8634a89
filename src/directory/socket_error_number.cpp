// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/socket_error_number.h"

#include <cerrno>

namespace ringwise {

int socketErrorNumber(QAbstractSocket::SocketError error) {
    using E = QAbstractSocket::SocketError;
    // Where Qt folds several system errors into one kind, the most common of them.
    switch (error) {
        case E::ConnectionRefusedError:
        case E::ProxyConnectionRefusedError:
            return ECONNREFUSED;
        case E::RemoteHostClosedError:
        case E::ProxyConnectionClosedError:
            return ECONNRESET;
        case E::HostNotFoundError:
        case E::ProxyNotFoundError:
            return EHOSTUNREACH;
        case E::SocketAccessError:
        case E::ProxyAuthenticationRequiredError:
            return EACCES;
        case E::SocketResourceError:
            return EMFILE;
        case E::SocketTimeoutError:
        case E::ProxyConnectionTimeoutError:
            return ETIMEDOUT;
        case E::DatagramTooLargeError:
            return EMSGSIZE;
        case E::NetworkError:
            return ENETUNREACH;
        case E::AddressInUseError:
            return EADDRINUSE;
        case E::SocketAddressNotAvailableError:
            return EADDRNOTAVAIL;
        case E::UnsupportedSocketOperationError:
            return EOPNOTSUPP;
        case E::UnfinishedSocketOperationError:
            return EINPROGRESS;
        case E::TemporaryError:
            return EAGAIN;
        case E::OperationError:
            return EINVAL;
        case E::ProxyProtocolError:
        case E::SslHandshakeFailedError:
        case E::SslInternalError:
        case E::SslInvalidUserDataError:
            return EPROTO;
        case E::UnknownSocketError:
            break;
    }
    return EIO;
}

}  // namespace ringwise
