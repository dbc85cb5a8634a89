// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/mosquitto_library.h"

#include "call/library_functions.h"

namespace ringwise {

std::optional<MosquittoLibrary> MosquittoLibrary::load() {
    QLibrary library(QStringLiteral("mosquitto"), 1);
    MosquittoLibrary mosquitto;
    const LibraryFunctions resolve(library);
    if (!(resolve(mosquitto.libInit, "mosquitto_lib_init") &&
          resolve(mosquitto.create, "mosquitto_new") &&
          resolve(mosquitto.destroy, "mosquitto_destroy") &&
          resolve(mosquitto.intOption, "mosquitto_int_option") &&
          resolve(mosquitto.connectCallbackSet, "mosquitto_connect_callback_set") &&
          resolve(mosquitto.publishCallbackSet, "mosquitto_publish_callback_set") &&
          resolve(mosquitto.usernamePasswordSet, "mosquitto_username_pw_set") &&
          resolve(mosquitto.willSet, "mosquitto_will_set") &&
          resolve(mosquitto.tlsSet, "mosquitto_tls_set") &&
          resolve(mosquitto.connectAsync, "mosquitto_connect_async") &&
          resolve(mosquitto.socket, "mosquitto_socket") &&
          resolve(mosquitto.loopRead, "mosquitto_loop_read") &&
          resolve(mosquitto.loopWrite, "mosquitto_loop_write") &&
          resolve(mosquitto.loopMisc, "mosquitto_loop_misc") &&
          resolve(mosquitto.wantWrite, "mosquitto_want_write") &&
          resolve(mosquitto.publish, "mosquitto_publish") &&
          resolve(mosquitto.disconnect, "mosquitto_disconnect") &&
          resolve(mosquitto.errorText, "mosquitto_strerror") &&
          resolve(mosquitto.refusalText, "mosquitto_connack_string")))
        return std::nullopt;
    // Sets up the library's sockets and OpenSSL once for the process; it stays loaded.
    mosquitto.libInit();
    return mosquitto;
}

}  // namespace ringwise
