// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless_front_end.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <utility>

#include "core/service.h"

namespace ringwise {

namespace {

// The window's texts break lines with "\r\n"; a terminal needs only "\n", and the journal
// would show a line holding "\r" as binary data.
QString plainLines(QString text) {
    return text.remove(QLatin1Char('\r'));
}

// The characters of one call come within milliseconds, its rings seconds apart.
constexpr int kQuietDeviceMs = 200;

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd(Service &service, QObject *parent)
    : QObject(parent), m_out(stdout), m_err(stderr) {
    m_quietDevice.setSingleShot(true);
    m_quietDevice.setInterval(kQuietDeviceMs);
    connect(&m_quietDevice, &QTimer::timeout, this, &HeadlessFrontEnd::endLine);
    connect(&service, &Service::deviceOutputAppended, this, &HeadlessFrontEnd::appendDeviceOutput);
    connect(&service, &Service::message, this,
            [this](MessageIcon, const QString &title, const QString &text) {
                endLine();
                m_err << title << ": " << plainLines(text) << Qt::endl;
            });
    connect(&service, &Service::hostingLabelsChanged, this, &HeadlessFrontEnd::showHostingLabels);
    connect(&service, &Service::routerStatusChanged, this, [this](const QString &status) {
        if (status.isEmpty())
            return;
        endLine();
        m_out << status << Qt::endl;
    });
    connect(&service, &Service::fatal, this,
            [this](FatalKind, const QString &title, const QString &text) {
                endLine();
                m_err << title << ": " << plainLines(text) << Qt::endl;
                // There is no settings dialog without a desktop: the fatal path just ends.
                QCoreApplication::exit(1);
            });
}

// The device output comes a character at a time: it is written once per pass of the event
// loop, not with one system call for each. Its entries start with a line break, which an
// ended line has already written.
void HeadlessFrontEnd::appendDeviceOutput(QString text) {
    text = plainLines(std::move(text));
    if (!m_lineOpen && text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    if (text.isEmpty())
        return;
    m_out << text;
    m_lineOpen = !text.endsWith(QLatin1Char('\n'));
    if (m_lineOpen)
        m_quietDevice.start();
    if (std::exchange(m_flushPending, true))
        return;
    QTimer::singleShot(0, this, &HeadlessFrontEnd::flushOutput);
}

void HeadlessFrontEnd::endLine() {
    m_quietDevice.stop();
    if (std::exchange(m_lineOpen, false))
        m_out << '\n';
    flushOutput();
}

void HeadlessFrontEnd::flushOutput() {
    m_flushPending = false;
    m_out.flush();
}

void HeadlessFrontEnd::showHostingLabels(const HostingLabels &labels) {
    // The ping countdown changes every second; only hosting and client changes are news.
    if (labels.isHosting != m_shown.isHosting || labels.localIp != m_shown.localIp ||
        labels.localPort != m_shown.localPort) {
        endLine();
        m_out << "Is hosting? " << labels.isHosting << "  Local IP: " << labels.localIp
              << "  Local port: " << labels.localPort << Qt::endl;
    }
    // Thousands of clients may come or go in one pass of the event loop; the count they
    // leave is written once, after it.
    if (labels.connections != m_shown.connections && !m_countPending) {
        m_countPending = true;
        QTimer::singleShot(0, this, [this] {
            m_countPending = false;
            if (m_shown.connections == m_countShown)
                return;
            m_countShown = m_shown.connections;
            endLine();
            m_out << "Connections: " << m_countShown << Qt::endl;
        });
    }
    m_shown = labels;
}

}  // namespace ringwise
