// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/mqtt_settings.h"

#include "core/settings_store.h"
#include "core/settings_table.h"
#include "core/version.h"

namespace ringwise {

MqttSettings mqttSettings(const SettingsStore &store) {
    MqttSettings settings;
    MqttEndpoint &broker = settings.broker;
    broker.host = store.Read(key::MqttHost);
    broker.tls = isTrue(store.Read(key::MqttTls));
    broker.port = mqttPort(store.Read(key::MqttPort), broker.tls);
    broker.user = store.Read(key::MqttUser);
    broker.password = store.Read(key::MqttPassword);
    broker.caFile = store.Read(key::MqttCa);
    settings.topic = storedOrDefault(store, key::MqttTopic);
    settings.discovery = isTrue(storedOrDefault(store, key::MqttDiscovery));
    settings.version = versionText;
    return settings;
}

}  // namespace ringwise
