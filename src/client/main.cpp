// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QFile>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTextStream>
#include <memory>

#include "client/call_runner.h"
#include "client/client_command.h"
#include "client/exit_status.h"
#include "client/one_shot.h"
#include "client/server_connection.h"
#include "client/watcher.h"
#include "core/version.h"
#include "notify/app_icon_image.h"
#include "notify/call_notification.h"
#include "notify/desktop_notifier.h"

using namespace ringwise;

namespace {

constexpr quint16 kDefaultPort = 6996;
constexpr int kDefaultPingSeconds = 120;
// The server greets at once and answers the password at once.
constexpr int kLoginTimeoutMs = 10000;
constexpr int kHookTimeLimitMs = 60000;
constexpr int kHookWaitingLimit = 100;

const QCommandLineOption kHost(QStringLiteral("host"), QStringLiteral("The server (127.0.0.1)."),
                               QStringLiteral("address"), QStringLiteral("127.0.0.1"));
const QCommandLineOption kPort(QStringLiteral("port"), QStringLiteral("The server's port (6996)."),
                               QStringLiteral("port"), QString::number(kDefaultPort));
const QCommandLineOption kPasswordFile(
    QStringLiteral("password-file"),
    QStringLiteral("Read the password from the first line of this file (all of it but the line "
                   "break) instead of the environment variable RINGWISE_PASSWORD."),
    QStringLiteral("file"));
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("Print JSON: one object per call, one document "
                                              "per answer."));
const QCommandLineOption kExec(
    QStringLiteral("exec"),
    QStringLiteral("watch: run this program for each call, without a shell, with the fields in "
                   "RINGWISE_TIME, RINGWISE_NUMBER, RINGWISE_NAME, RINGWISE_HOME, "
                   "RINGWISE_MOBILE, RINGWISE_WORK, RINGWISE_FAX, RINGWISE_EMAIL and "
                   "RINGWISE_NEW (1 for the name the directory found); its output goes to "
                   "standard error, and a run longer than 60 s is stopped."),
    QStringLiteral("program"));
const QCommandLineOption kNotify(
    QStringLiteral("notify"),
    QStringLiteral("watch: also show a desktop notification for each call, as the server's "
                   "desktop does."));
const QCommandLineOption kTls(
    QStringLiteral("tls"),
    QStringLiteral("Connect with TLS (1.2 or newer) to the server's TLS port; its certificate "
                   "must be valid for --host and signed by a certificate authority this system "
                   "trusts."));
const QCommandLineOption kCa(QStringLiteral("ca"),
                             QStringLiteral("With --tls: trust only the certificates in this PEM "
                                            "file, such as a self-signed server certificate."),
                             QStringLiteral("file"));
const QCommandLineOption kPing(
    QStringLiteral("ping-interval"),
    QStringLiteral("watch: the server's ping interval in seconds (120); a connection silent "
                   "for three of them is taken as lost."),
    QStringLiteral("seconds"), QString::number(kDefaultPingSeconds));

void describeOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Client of Ringwise Server: shows calls as they come and asks for the call log and "
        "the contact book.\n\n"
        "Commands:\n"
        "  watch                    print each call as it arrives\n"
        "  last [N]                 the N latest calls (10)\n"
        "  unknown [N]              the N latest calls from unrecognised numbers (10)\n"
        "  top [N]                  the N contacts with the most calls (10)\n"
        "  contacts                 every contact\n"
        "  search FIELD TERM        FIELD: ALLF, NAME, PHON, MOBI, EMAI, BPHO or BFAX\n"
        "  save ID|new NAME HOME MOBILE EMAIL WORK FAX\n"
        "  block add NUMBER [NOTE]  block calls from NUMBER, or a prefix ending in *\n"
        "  block remove NUMBER      take NUMBER off the block list\n"
        "  block list               the block list with the calls each entry blocked\n\n"
        "Exit status: 0 done, 1 the server cannot be reached (or does not greet within 10 s), "
        "2 usage error, 3 the server refuses the login (wrong or missing password)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({kHost, kPort, kPasswordFile, kJson, kExec, kNotify, kTls, kCa, kPing});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("See above."),
                                 QStringLiteral("command [arguments]"));
}

int usageError(const QString &reason) {
    QTextStream(stderr) << "ringwise-client: " << reason << "\nTry 'ringwise-client --help'."
                        << Qt::endl;
    return kExitUsage;
}

// The password never comes from the command line, where `ps` would show it.
bool readPassword(const QCommandLineParser &parser, QString *password, QString *error) {
    if (!parser.isSet(kPasswordFile)) {
        *password = qEnvironmentVariable("RINGWISE_PASSWORD");
        return true;
    }
    QFile file(parser.value(kPasswordFile));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the password file %1: %2")
                     .arg(file.fileName(), file.errorString());
        return false;
    }
    QByteArray line = file.readLine();
    // Blanks belong to the password; only the line break does not.
    if (line.endsWith('\n'))
        line.chop(line.endsWith("\r\n") ? 2 : 1);
    *password = QString::fromLocal8Bit(line);
    return true;
}

// Strict: the peer is verified and its certificate must name the host it was reached by.
bool readTls(const QCommandLineParser &parser, std::optional<QSslConfiguration> *tls,
             QString *error) {
    if (!parser.isSet(kTls)) {
        if (parser.isSet(kCa))
            *error = QStringLiteral("--ca goes with --tls");
        return !parser.isSet(kCa);
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (parser.isSet(kCa)) {
        const QList<QSslCertificate> authorities = QSslCertificate::fromPath(parser.value(kCa));
        if (authorities.isEmpty()) {
            *error = QStringLiteral("no PEM certificate in ") + parser.value(kCa);
            return false;
        }
        configuration.setCaCertificates(authorities);
    }
    *tls = configuration;
    return true;
}

}  // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ringwise-client"));
    // --version prints the name, then this.
    QCoreApplication::setApplicationVersion(versionText + QLatin1Char('\n') + kLicenceNotice);
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QString error;
    const std::optional<ClientCommand> command = parseCommand(parser.positionalArguments(), &error);
    if (!command)
        return usageError(error);
    bool isNumber = false;
    const uint port = parser.value(kPort).toUInt(&isNumber);
    if (!isNumber || port == 0 || port > 65535)
        return usageError(QStringLiteral("not a port: ") + parser.value(kPort));
    const int pingSeconds = parser.value(kPing).toInt(&isNumber);
    if (!isNumber || pingSeconds < 1)
        return usageError(QStringLiteral("not a number of seconds: ") + parser.value(kPing));
    const bool watching = command->kind == ClientCommand::Kind::Watch;
    if (!watching && parser.isSet(kExec))
        return usageError(QStringLiteral("--exec goes with watch"));
    if (!watching && parser.isSet(kNotify))
        return usageError(QStringLiteral("--notify goes with watch"));
    QString password;
    if (!readPassword(parser, &password, &error))
        return usageError(error);
    std::optional<QSslConfiguration> tls;
    if (!readTls(parser, &tls, &error))
        return usageError(error);
    if (tls && !QSslSocket::supportsSsl()) {
        QTextStream(stderr) << "ringwise-client: this system's Qt has no TLS library" << Qt::endl;
        return kExitUnreachable;
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    ServerConnection connection(parser.value(kHost), quint16(port), password, tls, kLoginTimeoutMs);
    const bool json = parser.isSet(kJson);
    if (!watching) {
        OneShot oneShot(connection, *command, json, out, err);
        QObject::connect(&oneShot, &OneShot::finished, &app, &QCoreApplication::exit);
        oneShot.start();
        return QCoreApplication::exec();
    }

    std::unique_ptr<CallRunner> runner;
    if (parser.isSet(kExec))
        runner = std::make_unique<CallRunner>(parser.value(kExec), err, kHookTimeLimitMs,
                                              kHookWaitingLimit);
    std::unique_ptr<DesktopNotifier> notifier;
    if (parser.isSet(kNotify)) {
        notifier = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus(), kProductName,
                                                     drawAppIcon(kNotificationIconSize));
        // The calls are still printed: said once, not at every call.
        QObject::connect(
            notifier.get(), &DesktopNotifier::failed, &app, [&err, said = false]() mutable {
                if (!said)
                    err << "ringwise-client: no desktop notification service answers; calls are "
                           "only printed"
                        << Qt::endl;
                said = true;
            });
    }
    const auto onCall = [&](const ClientCall &call) {
        out << (json ? callJson(call) : callText(call)) << Qt::endl;
        if (runner)
            runner->run(call);
        if (notifier) {
            const CallNotification notification = callNotification(call.fields);
            notifier->notify(notification.title, notification.body);
        }
    };
    Watcher watcher(
        connection, onCall, [] { return QDateTime::currentDateTime(); }, pingSeconds, err);
    QObject::connect(&watcher, &Watcher::finished, &app, &QCoreApplication::exit);
    watcher.start();
    return QCoreApplication::exec();
}
