#include "intake/device_output.h"

namespace ringwise {

DeviceOutput::DeviceOutput(qsizetype limit, QObject *parent) : QObject(parent), m_limit(limit) {}

void DeviceOutput::append(const QString &text) {
    m_text += text;
    if (m_text.size() > m_limit)
        m_text.remove(0, m_text.size() - m_limit);
    emit appended(text);
}

}  // namespace ringwise
