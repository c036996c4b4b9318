#include <QtTest>

#include "TestSupport.h"

class TestNoteTransport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_MAIN(TestNoteTransport)
#include "TestNoteTransport.moc"
