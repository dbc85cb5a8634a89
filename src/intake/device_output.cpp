// SPDX-License-Identifier: GPL-3.0-or-later
#include "intake/device_output.h"

namespace ringwise {

DeviceOutput::DeviceOutput(qsizetype limit, QObject *parent) : QObject(parent), m_limit(limit) {}

QString DeviceOutput::text() const {
    return m_text.right(m_limit);
}

void DeviceOutput::append(const QString &text) {
    m_text += text;
    // Cut a quarter at a time: cutting the front at every character would move the whole
    // text each time.
    if (m_text.size() > m_limit + m_limit / 4)
        m_text.remove(0, m_text.size() - m_limit);
    emit appended(text);
}

}  // namespace ringwise
