// Fetching a site's address books: one whole retrieval of 200 small books from pyftpdlib on
// loopback (log in, change directory, list, one active-mode transfer per book), next to curl
// fetching the same listing and files from the same server in active mode, in the same run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "FtpServers.h"
#include "addressbook/Retrieval.h"

namespace {

constexpr int kBooks = 200;
constexpr int kCurlTimeoutMs = 120000;
const QString kCurl = QStringLiteral("/usr/bin/curl");

class SilentReport : public IRetrievalReport {
public:
    void Show(const QString& text) override { m_nReports += text.isEmpty() ? 0 : 1; }
    void Log(const QString& line) override { m_nReports += line.isEmpty() ? 0 : 1; }
    int m_nReports = 0;
};

// The served directory: kBooks books of a few entries each, and some files that are no books.
struct Site {
    QTemporaryDir served;
    std::unique_ptr<ftptest::RealServer> server;

    Site() {
        const QString books = served.filePath(QStringLiteral("books"));
        QDir().mkpath(books);
        for (int i = 0; i < kBooks; ++i) {
            QFile file(QStringLiteral("%1/Team%2.add").arg(books).arg(i, 3, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly))
                continue;
            file.write(QStringLiteral("Team %1\r\n").arg(i).toLatin1());
            for (int j = 0; j < 8; ++j)
                file.write(QStringLiteral("Member %1-%2;192.168.%1.%2;6001;\r\n")
                               .arg(i)
                               .arg(j)
                               .toLatin1());
        }
        for (const char* other : {"readme.txt", "notes.doc", "TEAM.ADD"}) {
            QFile file(books + QLatin1Char('/') + QLatin1String(other));
            if (file.open(QIODevice::WriteOnly))
                file.write("not a book\r\n");
        }
        server = std::make_unique<ftptest::RealServer>(served.path());
    }
};

Site& TheSite() {
    static Site site;
    return site;
}

void BM_RetrieveBooks(benchmark::State& state) {
    Site& site = TheSite();
    if (site.server->Port() == 0) {
        state.SkipWithError("pyftpdlib did not start");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir data;
        SilentReport report;
        const Retrieval::Target target{site.server->Host(), ftptest::kUser, ftptest::kPassword,
                                       QStringLiteral("/books/"), data.path() + QLatin1Char('/')};
        const int count = Retrieval::Run(target, Retrieval::Mode::Interactive, report);
        if (count != kBooks || report.m_nReports != 0) {
            state.SkipWithError("the retrieval did not fetch every book");
            return;
        }
    }
    state.counters["books"] = kBooks;
}

// One curl process for the listing and every book, reusing its control connection, each
// transfer over an active-mode data connection (PORT/EPRT to 127.0.0.1).
void BM_CurlActiveMode(benchmark::State& state) {
    Site& site = TheSite();
    if (site.server->Port() == 0 || !QFile::exists(kCurl)) {
        state.SkipWithError("pyftpdlib or curl is missing");
        return;
    }
    for (auto _ : state) {
        QTemporaryDir data;
        QFile config(data.filePath(QStringLiteral("curl.conf")));
        if (!config.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write curl's configuration");
            return;
        }
        const QString base = QStringLiteral("ftp://127.0.0.1:%1/books/").arg(site.server->Port());
        config.write(
            QStringLiteral("user = \"%1:%2\"\nftp-port = \"127.0.0.1\"\nsilent\nshow-error\n")
                .arg(ftptest::kUser, ftptest::kPassword)
                .toUtf8());
        config.write(QStringLiteral("url = \"%1\"\noutput = \"%2/listing\"\n")
                         .arg(base, data.path())
                         .toUtf8());
        for (int i = 0; i < kBooks; ++i) {
            const QString name = QStringLiteral("Team%1.add").arg(i, 3, 10, QLatin1Char('0'));
            config.write(QStringLiteral("url = \"%1%2\"\noutput = \"%3/%2\"\n")
                             .arg(base, name, data.path())
                             .toUtf8());
        }
        config.close();
        QProcess curl;
        curl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        curl.start(kCurl, {QStringLiteral("-K"), config.fileName()});
        if (!curl.waitForFinished(kCurlTimeoutMs) || curl.exitCode() != 0) {
            curl.kill();
            curl.waitForFinished(kCurlTimeoutMs);
            state.SkipWithError("curl failed");
            return;
        }
    }
    state.counters["books"] = kBooks;
}

BENCHMARK(BM_RetrieveBooks)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_CurlActiveMode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QCoreApplication>(argc, argv);
}
