#include <QtTest>

#include "TestSupport.h"

class TestFindReplace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_GUI_MAIN(TestFindReplace)
#include "TestFindReplace.moc"
