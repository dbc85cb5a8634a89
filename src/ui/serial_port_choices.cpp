// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/serial_port_choices.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include "core/load_settings.h"
#include "core/settings_table.h"

namespace ringwise {

namespace {

// The USB serial devices; udev names each after its maker, product and serial number in
// /dev/serial/by-id, which is the description a user recognises.
QList<std::pair<QString, QString>> usbSerialDevices() {
    QHash<QString, QString> names;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files))
        names.insert(link.canonicalFilePath(), link.fileName());
    QList<std::pair<QString, QString>> devices;
    const QDir dev(QStringLiteral("/dev"));
    for (const QFileInfo &device : dev.entryInfoList(
             {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System, QDir::Name))
        devices.append({device.filePath(), names.value(device.filePath())});
    return devices;
}

}  // namespace

void addSerialPortChoices(QComboBox &box) {
    for (const QString &name : kComPortNames) {
        box.addItem(name);
        box.setItemData(box.count() - 1, serialDevicePath(name), Qt::ToolTipRole);
    }
    for (const auto &[path, description] : usbSerialDevices()) {
        box.addItem(path);
        box.setItemData(box.count() - 1, description, Qt::ToolTipRole);
    }
}

}  // namespace ringwise
