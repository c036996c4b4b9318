#include <QtTest>

#include "TestSupport.h"

class TestRtfCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_MAIN(TestRtfCodec)
#include "TestRtfCodec.moc"
