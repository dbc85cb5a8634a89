#include "core/mqtt_settings.h"

#include "core/settings_store.h"
#include "core/settings_table.h"
#include "core/version.h"

namespace ringwise {

MqttSettings mqttSettings(const SettingsStore &store) {
    MqttSettings settings;
    settings.host = store.Read(key::MqttHost);
    settings.tls = isTrue(store.Read(key::MqttTls));
    settings.port = mqttPort(store.Read(key::MqttPort), settings.tls);
    settings.user = store.Read(key::MqttUser);
    settings.password = store.Read(key::MqttPassword);
    settings.caFile = store.Read(key::MqttCa);
    settings.topic = storedOrDefault(store, key::MqttTopic);
    settings.discovery = isTrue(storedOrDefault(store, key::MqttDiscovery));
    settings.version = versionText;
    return settings;
}

}  // namespace ringwise
