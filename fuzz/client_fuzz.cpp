// SPDX-License-Identifier: GPL-3.0-or-later
// A client's messages through the real client table, protocol and request handlers, with
// the statistics and contact answers on an in-memory database checked on their way to the
// client. The table reads its client from one end of a socketpair (no network) that the
// target writes the messages into. The first byte chooses whether a password is set; the
// rest are messages separated by 0x1E. No handler lets a database error escape, the
// database stays sound, and no answer is longer than the book and the request together.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "queries/contact_requests.h"
#include "queries/stats_queries.h"
#include "server/client_protocol.h"
#include "server/client_table.h"
#include "server/login_throttle.h"

using namespace ringwise;

namespace {

constexpr char kSeparator = '\x1e';
const QString kPassword = QStringLiteral("fuzz-secret");
// The seeded book with the separators and keys of every row, well above its real size.
constexpr qsizetype kSeedAnswerBytes = 4096;

std::uint64_t g_messages = 0;

// The client side of one connection to the table.
class Harness {
public:
    Harness()
        : m_table([](const QString &) {}, [] { return QDateTime(QDate(2024, 3, 4), QTime(12, 0)); },
                  [this] { return !m_password.isEmpty(); }),
          m_stats(m_seeded.database()),
          m_contacts(m_seeded.database()),
          m_throttle([] { return qint32(1000); }),
          m_protocol(
              m_table, m_throttle,
              ClientProtocolSeams{
                  [this] { return m_password; },
                  [] { return QString(); },
                  [this](const QString &text) { return checked(m_stats.HandleStatsRequest(text)); },
                  [this](const QString &text) {
                      return checked(m_contacts.HandleContactRequest(text));
                  },
                  [] { return qint32(1000); },
                  1.0,
              }) {}

    void run(const QByteArray &input) {
        m_seeded.reseed();
        m_password = !input.isEmpty() && (input[0] & 1) ? kPassword : QString();
        m_answerBound = kSeedAnswerBytes + 8 * input.size();
        for (const QByteArray &message : input.mid(1).split(kSeparator)) {
            if (message.isEmpty())
                continue;
            ++g_messages;
            if (m_client < 0)
                connectClient();
            send(message);
        }
        disconnectClient();
        m_seeded.checkIntegrity();
    }

private:
    std::optional<QString> checked(std::optional<QString> answer) const {
        fuzz::check(!answer || answer->size() <= m_request + m_answerBound,
                    "an answer longer than the bound");
        return answer;
    }

    void connectClient() {
        int ends[2];
        fuzz::check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0, "socketpair");
        m_client = ends[0];
        m_server = ends[1];
        ::fcntl(m_client, F_SETFL, O_NONBLOCK);
        const std::optional<int> slot = m_table.AllocateSlot();
        fuzz::check(slot.has_value(), "a free slot");
        m_slot = *slot;
        m_table.attach(m_slot, m_server);
        m_protocol.clientAccepted(m_slot);
    }

    // Writes the message and runs the event loop until the table has taken all of it.
    void send(const QByteArray &message) {
        m_request = message.size();
        qsizetype written = 0;
        while (m_client >= 0 && (written < message.size() || serverHasUnread())) {
            if (written < message.size()) {
                const ssize_t n = ::send(m_client, message.constData() + written,
                                         size_t(message.size() - written), MSG_NOSIGNAL);
                if (n > 0)
                    written += n;
                else if (errno != EAGAIN)
                    break;
            }
            QCoreApplication::processEvents();
            drain();
        }
    }

    bool serverHasUnread() const {
        if (m_table.connectionCount() == 0)
            return false;  // the table has closed its end
        int unread = 0;
        ::ioctl(m_server, FIONREAD, &unread);
        return unread > 0;
    }

    // Reads what the table sent; a closed connection is opened again at the next message.
    void drain() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_client, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                closeClient();
            return;
        }
    }

    void closeClient() {
        ::close(m_client);
        m_client = -1;
    }

    void disconnectClient() {
        if (m_client >= 0)
            closeClient();
        while (m_table.connectionCount() > 0)
            QCoreApplication::processEvents();
    }

    fuzz::SeededDatabase m_seeded;
    QString m_password;
    ClientTable m_table;
    StatsQueries m_stats;
    ContactRequests m_contacts;
    // Wrong passwords are counted for the address, as on a real connection.
    LoginThrottle m_throttle;
    ClientProtocol m_protocol;
    int m_client = -1;
    int m_server = -1;
    int m_slot = 0;
    qsizetype m_request = 0;
    qsizetype m_answerBound = 0;
};

Harness *g_harness = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication application(*argc, *argv);
    static Harness harness;
    g_harness = &harness;
    std::atexit(
        [] { std::fprintf(stderr, "client messages: %llu\n", (unsigned long long)g_messages); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    g_harness->run(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
