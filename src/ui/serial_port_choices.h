// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QComboBox;

namespace ringwise {

// Fills the box with COM1 to COM7, then the USB serial devices this machine has
// (/dev/ttyUSB0, /dev/ttyACM0) by their path, each with its description as the item's
// tool tip.
void addSerialPortChoices(QComboBox &box);

}  // namespace ringwise
