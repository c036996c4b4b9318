#include <QtTest>

#include "TestSupport.h"

class TestLogRtf : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_GUI_MAIN(TestLogRtf)
#include "TestLogRtf.moc"
