#include <QtTest>

#include "TestSupport.h"

class TestQuillpadSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_MAIN(TestQuillpadSend)
#include "TestQuillpadSend.moc"
