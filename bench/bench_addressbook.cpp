// Recent-list updates and book listings: a push onto a full list, and listing a directory of a
// thousand books.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "addressbook/AddressBook.h"

namespace {

void PushOntoFullList(benchmark::State& state) {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    ResetRecentLists(data);
    for (int i = 0; i < kRecentListSize; ++i)
        PushRecentEntry(data, QStringLiteral("OL.add"), QStringLiteral("On-Lines"),
                        {QStringLiteral("Colleague number %1").arg(i),
                         QStringLiteral("workstation-%1").arg(i), 6001});
    int i = 0;
    for (auto _ : state) {
        PushRecentEntry(data, QStringLiteral("OL.add"), QStringLiteral("On-Lines"),
                        {QStringLiteral("Colleague number %1").arg(i % 40),
                         QStringLiteral("workstation"), 6001});
        ++i;
    }
}
BENCHMARK(PushOntoFullList)->Unit(benchmark::kMicrosecond);

void ListThousandBooks(benchmark::State& state) {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    for (int i = 0; i < 1000; ++i) {
        QList<AddressEntry> entries;
        for (int j = 0; j < 20; ++j)
            entries.append({QStringLiteral("Person %1").arg(j),
                            QStringLiteral("10.1.%1.%2").arg(i % 250).arg(j), 6001});
        WriteAddressBook(data + QStringLiteral("book%1.add").arg(i),
                         QStringLiteral("Department %1").arg((i * 7919) % 1000), entries);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ListAddressBooks(data, false).Count());
}
BENCHMARK(ListThousandBooks)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QCoreApplication>(argc, argv);
}
