// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mosquitto.h>
#include <optional>

namespace ringwise {

// The functions of libmosquitto the client uses. The library is opened when MQTT is on, not
// linked: it links OpenSSL, whose 1.4 MB of relocated tables a server without MQTT (and
// without TLS) does without.
struct MosquittoLibrary {
    decltype(&mosquitto_lib_init) libInit = nullptr;
    decltype(&mosquitto_new) create = nullptr;
    decltype(&mosquitto_destroy) destroy = nullptr;
    decltype(&mosquitto_int_option) intOption = nullptr;
    decltype(&mosquitto_connect_callback_set) connectCallbackSet = nullptr;
    decltype(&mosquitto_publish_callback_set) publishCallbackSet = nullptr;
    decltype(&mosquitto_username_pw_set) usernamePasswordSet = nullptr;
    decltype(&mosquitto_will_set) willSet = nullptr;
    decltype(&mosquitto_tls_set) tlsSet = nullptr;
    decltype(&mosquitto_connect_async) connectAsync = nullptr;
    decltype(&mosquitto_socket) socket = nullptr;
    decltype(&mosquitto_loop_read) loopRead = nullptr;
    decltype(&mosquitto_loop_write) loopWrite = nullptr;
    decltype(&mosquitto_loop_misc) loopMisc = nullptr;
    decltype(&mosquitto_want_write) wantWrite = nullptr;
    decltype(&mosquitto_publish) publish = nullptr;
    decltype(&mosquitto_disconnect) disconnect = nullptr;
    decltype(&mosquitto_strerror) errorText = nullptr;
    decltype(&mosquitto_connack_string) refusalText = nullptr;

    // The library, initialised; none when it or one of its functions is missing.
    static std::optional<MosquittoLibrary> load();
};

}  // namespace ringwise
