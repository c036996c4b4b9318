#include <QtTest>

#include "TestSupport.h"

class TestNoteRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_MAIN(TestNoteRecords)
#include "TestNoteRecords.moc"
