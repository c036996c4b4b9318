#include <QtTest>

#include "TestSupport.h"
#include "app/CStringCoder.h"

namespace {
constexpr const char* kKey = "Map_Velvet_Box";

QByteArray Encoded(QByteArray buffer) {
    CStringCoder coder(kKey);
    return coder.Encode(buffer.data());
}

QByteArray Decoded(QByteArray buffer) {
    CStringCoder coder(kKey);
    return coder.Decode(buffer.data());
}
}  // namespace

class TestStringCoder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesKnownValues_data();
    void encodesKnownValues();
    void sevenBitTextsComeBack_data();
    void sevenBitTextsComeBack();
    void zeroBytesEndTheResultEarly();
    void buffersHoldTheTreatedBytes();
    void longKeysAreCut();
};

void TestStringCoder::encodesKnownValues_data() {
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("scrambled");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("default password")
        << QByteArray("TulipGate") << QByteArray("\xe6\xeb\xe3\xc9\xd9\xdd\xf2\xfd\xff");
    // The 15th byte uses the key's first character again: 'M' ^ ~'M' = 0xff.
    QTest::newRow("key repeats")
        << QByteArray("MapXVelvetXBoxM")
        << QByteArray("\xff\xff\xff\xf8\xff\xff\xff\xff\xff\xff\xf8\xff\xff\xff\xff");
}

void TestStringCoder::encodesKnownValues() {
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, scrambled);
    QCOMPARE(Encoded(plain), scrambled);
    QCOMPARE(Decoded(scrambled), plain);
}

void TestStringCoder::sevenBitTextsComeBack_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("short") << QByteArray("a");
    QTest::newRow("password") << QByteArray("s3cr3t!Pa55");
    QTest::newRow("longer than key")
        << QByteArray("The quick brown fox jumps over the lazy dog 0123456789");
    QByteArray all;
    for (int c = 1; c < 128; ++c)
        all.append(static_cast<char>(c));
    QTest::newRow("every 7-bit byte") << all;
}

void TestStringCoder::sevenBitTextsComeBack() {
    QFETCH(QByteArray, text);
    const QByteArray scrambled = Encoded(text);
    QCOMPARE(scrambled.size(), text.size());
    QVERIFY(scrambled != text);
    QCOMPARE(Decoded(scrambled), text);
}

void TestStringCoder::zeroBytesEndTheResultEarly() {
    // 0xff complements to zero, which ends the key pass and the result.
    QCOMPARE(Encoded(QByteArray("abc\xff"
                                "def"))
                 .size(),
             3);
    QCOMPARE(Encoded(QByteArray("\xff"
                                "abc"))
                 .size(),
             0);
    // A byte equal to NOT k(i) encodes to zero: ~'M' = 0xb2 at position 0.
    QCOMPARE(Encoded(QByteArray("\xb2"
                                "abc"))
                 .size(),
             0);
    // In Decode, a stored byte equal to the key character gives zero.
    QCOMPARE(Decoded(QByteArray("M\x10\x20")).size(), 0);
    QCOMPARE(Decoded(QByteArray("\x10\x20p")).size(), 2);
}

void TestStringCoder::buffersHoldTheTreatedBytes() {
    char buffer[] =
        "Tulip\xff"
        "Gate";
    CStringCoder coder(kKey);
    const QByteArray result = coder.Encode(buffer);
    QCOMPARE(result, QByteArray("\xe6\xeb\xe3\xc9\xd9"));
    // The complement pass treated every byte; the key pass stopped at the new zero.
    QCOMPARE(QByteArray(buffer, 10), QByteArray("\xe6\xeb\xe3\xc9\xd9\x00\xb8\x9e\x8b\x9a", 10));

    char stored[] = "\xe6\xeb\xe3\xc9\xd9\xdd\xf2\xfd\xff";
    QCOMPARE(coder.Decode(stored), QByteArray("TulipGate"));
    QCOMPARE(QByteArray(stored), QByteArray("TulipGate"));
}

void TestStringCoder::longKeysAreCut() {
    const QByteArray key(400, 'k');
    CStringCoder coder(key.constData());
    QByteArray text(350, 'a');
    const QByteArray scrambled = coder.Encode(text.data());
    QCOMPARE(scrambled.size(), 350);
    QByteArray back = scrambled;
    QCOMPARE(CStringCoder(key.constData()).Decode(back.data()), QByteArray(350, 'a'));
}

QUILLPAD_TEST_MAIN(TestStringCoder)
#include "TestStringCoder.moc"
