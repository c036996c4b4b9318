#include <QtTest>

#include "TestSupport.h"

class TestSoundPlayer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder() {}
};

QUILLPAD_TEST_GUI_MAIN(TestSoundPlayer)
#include "TestSoundPlayer.moc"
