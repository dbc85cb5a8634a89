#include <QtTest>

#include "directory/directory_url.h"

using namespace ringwise;

class DirectoryUrlTest : public QObject {
    Q_OBJECT

private slots:
    void split_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("page");
        const auto row = [](const char *url, bool valid, const char *host = "", int port = 0,
                            const char *page = "") {
            QTest::newRow(url) << QString(url) << valid << QString(host) << port << QString(page);
        };
        row("http://dir.example:8080/vbw/super/resultat.do?compPhone=1", true, "dir.example", 8080,
            "/vbw/super/resultat.do?compPhone=1");
        row("http://dir.example", true, "dir.example", 80, "/");
        row("http://127.0.0.1:6000", true, "127.0.0.1", 6000, "/");
        row("http://dir.example/a:b?t=x://y", true, "dir.example", 80, "/a:b?t=x://y");
        row("http://dir.example:http/", false);
        row("http://dir.example:/", false);
        row("dir.example/page", false);
    }
    void split() {
        QFETCH(QString, url);
        QFETCH(bool, valid);
        const std::optional<DirectoryUrl> parts = splitUrl(url);
        QCOMPARE(parts.has_value(), valid);
        if (!valid)
            return;
        QTEST(parts->strHost, "host");
        QTEST(int(parts->lPort), "port");
        QTEST(parts->strPage, "page");
    }
};

QTEST_APPLESS_MAIN(DirectoryUrlTest)
#include "directory_url_test.moc"
