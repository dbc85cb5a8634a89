// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings_form.h"

#include "core/settings_store.h"
#include "core/settings_table.h"

namespace ringwise {

SettingsForm SettingsForm::load(const SettingsStore &store) {
    SettingsForm form;
    form.port = storedOrDefault(store, key::ServerPort);
    form.autoStart = isTrue(storedOrDefault(store, key::ServerAutoStart));
    form.checkDirectory = isTrue(storedOrDefault(store, key::ServerCheckDGS));
    form.database = storedOrDefault(store, key::ServerDB);
    form.comPort = storedOrDefault(store, key::ServerCOM);
    form.password = store.Read(key::ServerPassword);
    form.startMinimized = isTrue(storedOrDefault(store, key::ServerMinimized));
    // The interval shows what is stored, even nothing: start-up has written the default.
    form.ping = store.Read(key::ServerPing);
    form.device = storedOrDefault(store, key::ServerDevice);
    form.routerHost = store.Read(key::ServerRouterHost);
    form.listen = store.Read(key::ServerListen);
    form.maxClients = storedOrDefault(store, key::ServerMaxClients);
    form.maxPerAddress = storedOrDefault(store, key::ServerMaxPerAddress);
    form.tlsPort = store.Read(key::ServerTlsPort);
    form.tlsCert = store.Read(key::ServerTlsCert);
    form.tlsKey = store.Read(key::ServerTlsKey);
    form.desktopNotify = isTrue(storedOrDefault(store, key::DesktopNotify));
    form.mqttHost = store.Read(key::MqttHost);
    form.mqttPort = store.Read(key::MqttPort);
    form.mqttUser = store.Read(key::MqttUser);
    form.mqttPassword = store.Read(key::MqttPassword);
    form.mqttTls = isTrue(storedOrDefault(store, key::MqttTls));
    form.mqttCa = store.Read(key::MqttCa);
    form.mqttTopic = storedOrDefault(store, key::MqttTopic);
    form.mqttDiscovery = isTrue(storedOrDefault(store, key::MqttDiscovery));
    return form;
}

QString SettingsForm::refusal() const {
    QString refusal;
    save([&refusal](const QString &key, const QString &text) {
        refusal = settingRefusal(*findSetting(key), text);
        return refusal.isEmpty();
    });
    return refusal;
}

bool SettingsForm::save(const WriteSetting &write) const {
    return write(key::ServerPort, port) && write(key::ServerDB, database) &&
           write(key::ServerCOM, comPort) && write(key::ServerPassword, password) &&
           write(key::ServerPing, ping) && write(key::ServerAutoStart, flagText(autoStart)) &&
           write(key::ServerCheckDGS, flagText(checkDirectory)) &&
           write(key::ServerMinimized, flagText(startMinimized)) &&
           write(key::ServerDevice, device) && write(key::ServerRouterHost, routerHost) &&
           write(key::ServerListen, listen) && write(key::ServerMaxClients, maxClients) &&
           write(key::ServerMaxPerAddress, maxPerAddress) && write(key::ServerTlsPort, tlsPort) &&
           write(key::ServerTlsCert, tlsCert) && write(key::ServerTlsKey, tlsKey) &&
           write(key::DesktopNotify, flagText(desktopNotify)) && write(key::MqttHost, mqttHost) &&
           write(key::MqttPort, mqttPort) && write(key::MqttUser, mqttUser) &&
           write(key::MqttPassword, mqttPassword) && write(key::MqttTls, flagText(mqttTls)) &&
           write(key::MqttCa, mqttCa) && write(key::MqttTopic, mqttTopic) &&
           write(key::MqttDiscovery, flagText(mqttDiscovery));
}

bool SettingsForm::changesConnection(const SettingsForm &before) const {
    const auto connection = [](const SettingsForm &form) {
        return QStringList{form.port,    form.comPort,    form.device,        form.routerHost,
                           form.listen,  form.maxClients, form.maxPerAddress, form.tlsPort,
                           form.tlsCert, form.tlsKey};
    };
    return connection(*this) != connection(before);
}

WriteSetting writerFor(SettingsStore &store) {
    return [&store](const QString &key, const QString &text) { return store.Write(key, text); };
}

}  // namespace ringwise
