// SPDX-License-Identifier: GPL-3.0-or-later
// Times the web page's answers on a big call log, over HTTP on loopback, and a call's way
// from "#" on the device to the page's WebSocket. Run by hand on a Release build:
//   web_bench
#include <time.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTextStream>
#include <QWebSocket>

#include <algorithm>
#include <vector>

#include "core/paths.h"
#include "core/service.h"
#include "core/settings_store.h"
#include "core/settings_table.h"
#include "db/database.h"
#include "support/big_log.h"
#include "support/pseudo_terminal.h"
#include "support/temp_environment.h"

using namespace ringwise;
using namespace ringwise::bench;
using namespace ringwise::test;

namespace {

// The machine is shared: besides the time on the clock, the CPU time of this one thread,
// which runs both the server and the client, shows what the answer itself costs.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

constexpr int kContacts = 100000;
constexpr int kCalls = 1000000;
constexpr qint64 kLastCallTime = 1700000000 + qint64(kCalls) * 60;  // as fill() stamps them

// One kept-alive connection to the web port; each answer is read whole.
class WebClient {
public:
    explicit WebClient(quint16 port) { m_socket.connectToHost(QHostAddress::LocalHost, port); }

    QByteArray get(const QByteArray &path) {
        m_socket.write("GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
        QByteArray answer;
        QSignalSpy arrived(&m_socket, &QTcpSocket::readyRead);
        for (;;) {
            answer += m_socket.readAll();
            const qsizetype headEnd = answer.indexOf("\r\n\r\n");
            const qsizetype length = answer.indexOf("Content-Length: ");
            if (headEnd >= 0 && length >= 0 &&
                answer.size() - headEnd - 4 >= answer.mid(length + 16, 12).split('\r')[0].toInt())
                return answer.mid(headEnd + 4);
            if (!arrived.wait(10000))
                return QByteArray();
        }
    }

private:
    QTcpSocket m_socket;
};

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    TempEnvironment env;
    PseudoTerminal device;
    const QString path = env.filePath("big.db");
    {
        Database db;
        db.open(path, Database::OpenMode::CreateIfMissing);
        fill(db, kContacts, kCalls);
    }
    SettingsStore store(defaultSettingsPath());
    store.Write(key::ServerAutoStart, "True");
    store.Write(key::ServerCOM, device.slavePath());
    store.Write(key::ServerCheckDGS, "False");
    ServiceEnvironment environment;
    // Just after the last call of the log, so the statistics read 30 days of calls.
    environment.now = [] { return QDateTime::fromSecsSinceEpoch(kLastCallTime + 60, Qt::UTC); };
    environment.listenAddress = QHostAddress::LocalHost;
    environment.listenPort = 0;
    environment.webPort = 0;
    environment.databasePath = path;
    Service service(store, environment);
    if (!service.start())
        return 1;
    out << QStringLiteral("%1 contacts, %2 calls, medians of 15:\n").arg(kContacts).arg(kCalls);
    WebClient client(service.webPort());
    for (const QByteArray &request :
         {QByteArray("/api/calls"), QByteArray("/api/calls?before=500000"),
          QByteArray("/api/calls?before=60"), "/api/contacts?q=" + kRareName.left(8).toUtf8(),
          QByteArray("/api/contacts?q=12"), QByteArray("/api/contacts?q=Family5"),
          QByteArray("/api/contacts/50001"), QByteArray("/api/stats")}) {
        qsizetype size = 0;
        std::vector<double> cpu;
        const double ms = medianMs([&] {
            const double start = threadCpuMs();
            size = client.get(request).size();
            cpu.push_back(threadCpuMs() - start);
        });
        std::sort(cpu.begin(), cpu.end());
        out << QStringLiteral("  GET %1 %2 ms, CPU %3 ms  (%4 bytes)\n")
                   .arg(QString::fromUtf8(request), -36)
                   .arg(ms, 8, 'f', 3)
                   .arg(cpu[cpu.size() / 2], 8, 'f', 3)
                   .arg(size);
        out.flush();
    }

    QWebSocket events;
    QSignalSpy opened(&events, &QWebSocket::connected);
    events.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(service.webPort())));
    if (!opened.wait())
        return 1;
    QSignalSpy received(&events, &QWebSocket::textMessageReceived);
    int number = 0;
    const double ms = medianMs([&] {
        received.clear();
        device.write(QStringLiteral("A%1#").arg(++number, 8, 10, QChar(u'0')).toLatin1());
        received.wait(10000);
    });
    out << QStringLiteral("  \"#\" on the device to the WebSocket's call frame: %1 ms\n")
               .arg(ms, 0, 'f', 3);
    service.shutdown();
    return 0;
}
