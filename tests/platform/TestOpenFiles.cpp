// The limit on open files: raised as far as asked and allowed, never lowered.
#include <sys/resource.h>

#include <QtTest>

#include "platform/OpenFiles.h"

class TestOpenFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void raisedAsFarAsAskedAndAllowed();
};

void TestOpenFiles::raisedAsFarAsAskedAndAllowed() {
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 600)
        QSKIP("the hard limit on open files is below what this test needs");
    const int hard = saved.rlim_max == RLIM_INFINITY || saved.rlim_max > 1u << 30
                         ? 1 << 30
                         : static_cast<int>(saved.rlim_max);
    rlimit low = saved;
    low.rlim_cur = 500;
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
    QCOMPARE(OpenFiles::Limit(), 500);
    QCOMPARE(OpenFiles::RaiseLimit(600), 600);
    QCOMPARE(OpenFiles::RaiseLimit(550), 600);  // never lowered
    QCOMPARE(OpenFiles::RaiseLimit(-1), 600);
    if (hard < (1 << 30))
        QCOMPARE(OpenFiles::RaiseLimit(hard + 1000), hard);  // no further than allowed
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
}

QTEST_APPLESS_MAIN(TestOpenFiles)
#include "TestOpenFiles.moc"
