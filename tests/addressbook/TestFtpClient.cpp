#include <QtTest>

#include "TestSupport.h"

class TestFtpClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_MAIN(TestFtpClient)
#include "TestFtpClient.moc"
