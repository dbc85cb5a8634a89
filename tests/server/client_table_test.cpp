#include <QtTest>

#include "server/client_table.h"
#include "test_acceptor.h"

using namespace ringwise;
using test::LoopbackClient;
using test::TestAcceptor;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));

QString listLine(int slot, LoopbackClient &client) {
    return QStringLiteral("[%1]: 127.0.0.1:%2").arg(slot).arg(client.socket().localPort());
}

}  // namespace

class ClientTableTest : public QObject {
    Q_OBJECT

    QStringList m_deviceOutput;

    std::unique_ptr<ClientTable> makeTable() {
        m_deviceOutput.clear();
        return std::make_unique<ClientTable>(
            [this](const QString &text) { m_deviceOutput << text; }, [] { return kNow; });
    }

private slots:
    void closedSlotIsReusedLowestFirst() {
        auto table = makeTable();
        TestAcceptor acceptor(*table);
        auto a = acceptor.connectClient();
        auto b = acceptor.connectClient();
        auto c = acceptor.connectClient();
        QCOMPARE((QList<int>{a.slot, b.slot, c.slot}), (QList<int>{1, 2, 3}));
        const QString first = listLine(1, *a.client);
        const QString third = listLine(3, *c.client);
        QCOMPARE(table->connectionList(), (QStringList{first, listLine(2, *b.client), third}));

        b.client->socket().disconnectFromHost();
        QTRY_COMPARE(table->connectionList(), (QStringList{first, third}));
        auto d = acceptor.connectClient();
        QCOMPARE(d.slot, 2);
        QCOMPARE(table->connectionList(), (QStringList{first, listLine(2, *d.client), third}));
        QCOMPARE(table->highestSlot(), 3);
    }

    void broadcastArrivesByteForByte_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CALL_:,12345678,,,,,,")
            << "CALL_:,12345678,,,,,," << QByteArray("CALL_:,12345678,,,,,,");
        QTest::newRow("PING_:-2147483648")
            << "PING_:-2147483648" << QByteArray("PING_:-2147483648");
        QTest::newRow("CALL_:,1,Søren Ærø,,,,,") << QStringLiteral("CALL_:,1,Søren Ærø,,,,,")
                                                 << QByteArray("CALL_:,1,S\xF8ren \xC6r\xF8,,,,,");
        QTest::newRow("A\\r\\nB") << "A\r\nB" << QByteArray("A\r\nB");
    }
    void broadcastArrivesByteForByte() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        auto table = makeTable();
        TestAcceptor acceptor(*table);
        auto a = acceptor.connectClient();
        auto b = acceptor.connectClient();
        table->SendToClients(text);
        table->SendToClients(text);
        QTRY_COMPARE(a.client->received(), bytes + bytes);
        QTRY_COMPARE(b.client->received(), bytes + bytes);
    }

    void clientLeavingDuringBroadcastDoesNotStopOthers() {
        auto table = makeTable();
        TestAcceptor acceptor(*table);
        auto a = acceptor.connectClient();
        auto b = acceptor.connectClient();
        auto c = acceptor.connectClient();
        const QStringList survivors{listLine(1, *a.client), listLine(3, *c.client)};
        b.client->socket().abort();  // the server has not seen it go yet
        table->SendToClients("CALL_:,1");
        table->SendToClients("CALL_:,2");
        QTRY_COMPARE(a.client->received(), QByteArray("CALL_:,1CALL_:,2"));
        QTRY_COMPARE(c.client->received(), QByteArray("CALL_:,1CALL_:,2"));
        QTRY_COMPARE(table->connectionList(), survivors);
        QCOMPARE(m_deviceOutput, QStringList());
    }

    void erroredSlotIsReportedReleasedAndReused() {
        auto table = makeTable();
        TestAcceptor acceptor(*table);
        auto a = acceptor.connectClient();
        auto b = acceptor.connectClient();
        auto c = acceptor.connectClient();
        const QStringList survivors{listLine(1, *a.client), listLine(3, *c.client)};
        QTcpSocket *serverSide = nullptr;
        for (QTcpSocket *socket : table->findChildren<QTcpSocket *>()) {
            if (socket->peerPort() == b.client->socket().localPort())
                serverSide = socket;
        }
        QVERIFY(serverSide);
        const QString description = serverSide->errorString();
        emit serverSide->errorOccurred(QAbstractSocket::NetworkError);

        QCOMPARE(m_deviceOutput,
                 QStringList{"\r\n2024-03-05 14:07:09Error: 7  Description: " + description});
        QCOMPARE(table->connectionList(), survivors);
        QTRY_VERIFY(b.client->isClosed());
        QCOMPARE(acceptor.connectClient().slot, 2);
    }
};

QTEST_GUILESS_MAIN(ClientTableTest)
#include "client_table_test.moc"
