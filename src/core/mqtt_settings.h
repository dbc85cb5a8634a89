// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/mqtt_publisher.h"

namespace ringwise {

class SettingsStore;

// The Mqtt* settings as the publisher takes them, defaults filled in.
MqttSettings mqttSettings(const SettingsStore &store);

}  // namespace ringwise
