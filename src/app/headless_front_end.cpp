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

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd(Service &service, QObject *parent)
    : QObject(parent), m_out(stdout), m_err(stderr) {
    // The device output comes a character at a time: it is written once per pass of the
    // event loop, not with one system call for each.
    connect(&service, &Service::deviceOutputAppended, this, [this](const QString &text) {
        m_out << plainLines(text);
        if (std::exchange(m_flushPending, true))
            return;
        QTimer::singleShot(0, this, &HeadlessFrontEnd::flushOutput);
    });
    connect(&service, &Service::message, this,
            [this](MessageIcon, const QString &title, const QString &text) {
                flushOutput();
                m_err << title << ": " << plainLines(text) << Qt::endl;
            });
    connect(&service, &Service::hostingLabelsChanged, this, &HeadlessFrontEnd::showHostingLabels);
    connect(&service, &Service::routerStatusChanged, this, [this](const QString &status) {
        if (!status.isEmpty())
            m_out << '\n' << status << Qt::endl;
    });
    connect(&service, &Service::fatal, this,
            [this](FatalKind, const QString &title, const QString &text) {
                flushOutput();
                m_err << title << ": " << plainLines(text) << Qt::endl;
                // There is no settings dialog without a desktop: the fatal path just ends.
                QCoreApplication::exit(1);
            });
}

void HeadlessFrontEnd::flushOutput() {
    m_flushPending = false;
    m_out.flush();
}

void HeadlessFrontEnd::showHostingLabels(const HostingLabels &labels) {
    // The ping countdown changes every second; only hosting and client changes are news.
    if (labels.isHosting != m_shown.isHosting || labels.localIp != m_shown.localIp ||
        labels.localPort != m_shown.localPort)
        m_out << "\nIs hosting? " << labels.isHosting << "  Local IP: " << labels.localIp
              << "  Local port: " << labels.localPort << Qt::endl;
    // Thousands of clients may come or go in one pass of the event loop; the count they
    // leave is written once, after it.
    if (labels.connections != m_shown.connections && !m_countPending) {
        m_countPending = true;
        QTimer::singleShot(0, this, [this] {
            m_countPending = false;
            if (m_shown.connections == m_countShown)
                return;
            m_countShown = m_shown.connections;
            m_out << "\nConnections: " << m_countShown << Qt::endl;
        });
    }
    m_shown = labels;
}

}  // namespace ringwise
