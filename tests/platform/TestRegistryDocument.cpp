#include <QtTest>

#include "TestSupport.h"
#include "platform/RegistryDocument.h"

class TestRegistryDocument : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesEachTypeInItsForm_data();
    void writesEachTypeInItsForm();
    void roundTripKeepsBytesExactly_data();
    void roundTripKeepsBytesExactly();
    void readsHandEditedForms();
    void namesCompareWithoutCaseAndKeepTheirFirstCase();
    void keysAreListedLevelByLevel();
    void damagedLinesAreSkippedAndReported();
    void whateverIsReadIsWrittenSoThatItReadsBack_data();
    void whateverIsReadIsWrittenSoThatItReadsBack();
};

void TestRegistryDocument::writesEachTypeInItsForm_data() {
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("dword") << 4u << QByteArray("\x71\x17\x00\x00", 4)
                           << QByteArray("\"V\"=dword:00001771");
    QTest::newRow("binary") << 3u << QByteArray("\xcb\x02\x00\x00", 4)
                            << QByteArray("\"V\"=hex:cb,02,00,00");
    QTest::newRow("empty binary") << 3u << QByteArray() << QByteArray("\"V\"=hex:");
    QTest::newRow("printable text")
        << 1u << QByteArray("E:\\FTP\\\"Q\"\0", 11) << QByteArray(R"("V"="E:\\FTP\\\"Q\"")");
    QTest::newRow("empty text") << 1u << QByteArray("\0", 1) << QByteArray("\"V\"=\"\"");
    QTest::newRow("scrambled text")
        << 1u << QByteArray("\xe6\xeb\xe3\xc9\xd9\xdd\xf2\xfd\xff\x00", 10)
        << QByteArray("\"V\"=hex(1):e6,eb,e3,c9,d9,dd,f2,fd,ff,00");
    QTest::newRow("text with line end")
        << 1u << QByteArray("a\nb\0", 4) << QByteArray("\"V\"=hex(1):61,0a,62,00");
    QTest::newRow("text without terminator")
        << 1u << QByteArray("ab") << QByteArray("\"V\"=hex(1):61,62");
    QTest::newRow("short dword") << 4u << QByteArray("\x01\x02", 2)
                                 << QByteArray("\"V\"=hex(4):01,02");
    QTest::newRow("other type") << 7u << QByteArray("a\0\0", 3)
                                << QByteArray("\"V\"=hex(7):61,00,00");
}

void TestRegistryDocument::writesEachTypeInItsForm() {
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, line);

    RegistryDocument doc;
    doc.EnsureKey("HKEY_CURRENT_USER\\K").SetValue("V", type, data);
    const QByteArray text = doc.Serialize();
    QCOMPARE(text, "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n" + line + "\n\n");

    QStringList errors;
    const RegistryDocument back = RegistryDocument::Parse(text, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    const RegValue* value = back.FindKey("HKEY_CURRENT_USER\\K")->FindValue("V");
    QVERIFY(value);
    QCOMPARE(value->type, type);
    QCOMPARE(value->data, data);
}

void TestRegistryDocument::roundTripKeepsBytesExactly_data() {
    QTest::addColumn<QByteArray>("data");
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    QTest::newRow("every byte value") << all;
    QTest::newRow("long placement") << QByteArray(44, '\x7f');
    QTest::newRow("utf-8 text") << QByteArray("Zo\xc3\xab Dani\xc3\xabls\0", 13);
}

void TestRegistryDocument::roundTripKeepsBytesExactly() {
    QFETCH(QByteArray, data);
    RegistryDocument doc;
    for (quint32 type : {1u, 3u, 4u})
        doc.EnsureKey("HKEY_CURRENT_USER\\K").SetValue("T" + QByteArray::number(type), type, data);
    const QByteArray text = doc.Serialize();
    for (const QByteArray& line : text.split('\n'))
        QVERIFY2(line.size() <= 80, line.constData());  // long data is continued, as an export does

    QStringList errors;
    const RegistryDocument back = RegistryDocument::Parse(text, &errors);
    QVERIFY(errors.isEmpty());
    for (quint32 type : {1u, 3u, 4u}) {
        const RegValue* value =
            back.FindKey("HKEY_CURRENT_USER\\K")->FindValue("T" + QByteArray::number(type));
        QCOMPARE(value->type, type);
        QCOMPARE(value->data, data);
    }
    QCOMPARE(back.Serialize(), text);
}

void TestRegistryDocument::readsHandEditedForms() {
    const QByteArray text =
        "REGEDIT4\r\n\r\n"
        "; edited by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Vexor]\r\n"
        "\"Margins\"=hex:cb,02,00,00,\\\r\n"
        "  cb,02,00,00\r\n"
        "\"Port\" = dword:1771\r\n"
        "@=\"default\"\r\n"
        "\"Gone\"=-\r\n";
    QStringList errors;
    const RegistryDocument doc = RegistryDocument::Parse(text, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    const RegKey* key = doc.FindKey("HKEY_CURRENT_USER\\Software\\Vexor");
    QVERIFY(key);
    QCOMPARE(key->FindValue("Margins")->data, QByteArray("\xcb\x02\x00\x00\xcb\x02\x00\x00", 8));
    QCOMPARE(key->FindValue("Port")->data, QByteArray("\x71\x17\x00\x00", 4));
    QCOMPARE(key->FindValue("")->data, QByteArray("default\0", 8));
    QVERIFY(!key->FindValue("Gone"));
}

void TestRegistryDocument::namesCompareWithoutCaseAndKeepTheirFirstCase() {
    RegistryDocument doc;
    doc.EnsureKey("HKEY_CURRENT_USER\\Software\\Vexor").SetValue("Full Name", 1, "a");
    doc.EnsureKey("hkey_current_user\\SOFTWARE\\vexor\\").SetValue("FULL NAME", 1, "b");
    QCOMPARE(doc.Keys().size(), 2);
    const RegKey* key = doc.FindKey("\\HKEY_CURRENT_USER\\\\software\\VEXOR");
    QVERIFY(key);
    QCOMPARE(key->path, QByteArray("HKEY_CURRENT_USER\\Software\\Vexor"));
    QCOMPARE(key->values.size(), 1);
    QCOMPARE(key->values[0].name, QByteArray("Full Name"));
    QCOMPARE(key->values[0].data, QByteArray("b"));
}

void TestRegistryDocument::keysAreListedLevelByLevel() {
    RegistryDocument doc;
    doc.EnsureKey("HKEY_CURRENT_USER\\A\\B\\C");
    QCOMPARE(doc.Serialize(),
             QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\n[HKEY_CURRENT_USER\\A\\B]\n\n"
                        "[HKEY_CURRENT_USER\\A\\B\\C]\n\n"));
    // A hand-edited file may name a key without the keys above it; they exist all the same.
    const RegistryDocument parsed =
        RegistryDocument::Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\X\\Y]\n");
    QVERIFY(parsed.FindKey("HKEY_CURRENT_USER\\X"));
}

void TestRegistryDocument::damagedLinesAreSkippedAndReported() {
    const QByteArray text =
        "REGEDIT4\n\n"
        "\"Orphan\"=dword:00000001\n"
        "[HKEY_CURRENT_USER\\Good]\n"
        "\"A\"=dword:00000001\n"
        "\"B\"=dword:xyz\n"
        "\"C\"=hex:1,2,300\n"
        "\"D\"=\"unterminated\n"
        "garbage line\n"
        "[HKEY_CURRENT_USER\\Broken\n"
        "\"E\"=dword:00000002\n";
    QStringList errors;
    const RegistryDocument doc = RegistryDocument::Parse(text, &errors);
    QCOMPARE(errors.size(), 7);
    const RegKey* good = doc.FindKey("HKEY_CURRENT_USER\\Good");
    QVERIFY(good);
    QCOMPARE(good->values.size(), 1);
    QVERIFY(good->FindValue("A"));
    QVERIFY(!doc.FindKey("HKEY_CURRENT_USER\\Broken"));

    QStringList headerErrors;
    RegistryDocument::Parse("[HKEY_CURRENT_USER\\K]\n", &headerErrors);
    QCOMPARE(headerErrors.size(), 1);
}

// Files edited by hand, in forms found by fuzzing: what the parser keeps, the next save must
// not lose or turn into something else.
void TestRegistryDocument::whateverIsReadIsWrittenSoThatItReadsBack_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("keyPath");

    QTest::newRow("key named with a leading dash")
        << QByteArray("REGEDIT4\n\n[\\-Vexor]\n\"Port\"=dword:00001771\n") << QByteArray("-Vexor");
    QTest::newRow("key named dash") << QByteArray("REGEDIT4\n\n[\\-]\n") << QByteArray("-");
}

void TestRegistryDocument::whateverIsReadIsWrittenSoThatItReadsBack() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, keyPath);

    QStringList errors;
    const RegistryDocument doc = RegistryDocument::Parse(text, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    const RegKey* key = doc.FindKey(keyPath);
    QVERIFY(key);

    const QByteArray written = doc.Serialize();
    const RegistryDocument back = RegistryDocument::Parse(written, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    const RegKey* backKey = back.FindKey(keyPath);
    QVERIFY2(backKey, written.constData());
    QCOMPARE(backKey->path, key->path);
    QCOMPARE(backKey->values.size(), key->values.size());
    for (const RegValue& value : key->values) {
        const RegValue* backValue = backKey->FindValue(value.name);
        QVERIFY(backValue);
        QCOMPARE(backValue->name, value.name);
        QCOMPARE(backValue->type, value.type);
        QCOMPARE(backValue->data, value.data);
    }
    QCOMPARE(back.Keys().size(), doc.Keys().size());
    QCOMPARE(back.Serialize(), written);
}

QUILLPAD_TEST_MAIN(TestRegistryDocument)
#include "TestRegistryDocument.moc"
