// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise::test {

// A pseudo-terminal standing in for the caller-ID device: the server opens slavePath()
// as its serial port, the test writes the device's characters into the master side.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Writes every byte to the master side; false when the write failed.
    bool write(const QByteArray &bytes);
    // The master side, where the bytes the server writes to its port arrive.
    int masterDescriptor() const { return m_master; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

}  // namespace ringwise::test
