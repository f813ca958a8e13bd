#include "platform/RegistryKey.h"
#include "platform/sim/RegistryStore.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;
using win::sim::RegistryStore;

namespace {

struct StoredValue
{
    QString keyPath;
    QString name;
    quint32 type;
    QByteArray data;
};

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// One value of every shape the file format has to carry through.
QVector<StoredValue> everyKindOfValue()
{
    const QString key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\RoundTrip";
    QByteArray binary;
    for (int i = 0; i < 300; ++i)
        binary.append(char(i * 7));
    return {
        {key, "", RegSz, registryTextData(QStringLiteral("默认值"))},
        {key, "EmptySz", RegSz, QByteArray()},
        {key, "TerminatorOnly", RegSz, QByteArray(2, '\0')},
        {key, "NoTerminator", RegSz, utf16("abc")},
        {key, "OddBytes", RegSz, utf16("abc") + 'x'},
        {key, "InnerNul", RegSz, registryTextData("ab") + registryTextData("cd")},
        {key, "Lines", RegSz, registryTextData("one\r\ntwo")},
        {key, "LoneSurrogate", RegSz, utf16(QString(QChar(0xD800))) + QByteArray(2, '\0')},
        {key, "Pair", RegSz, registryTextData(QString::fromUcs4(U"\U0001F600"))},
        {key, "Quote \"and\" back\\slash = sign", RegSz, registryTextData("C:\\Path \"x\" = y")},
        {key, "Name on\r\ntwo lines", RegDword, registryDwordData(3)},
        {key, QStringLiteral("中文名"), RegSz, registryTextData(QStringLiteral("中文值"))},
        {key, "Expand", RegExpandSz, registryTextData("%SystemRoot%\\system32")},
        {key, "Multi", RegMultiSz, registryMultiTextData({"one", QStringLiteral("二"), "three"})},
        {key, "Dword", RegDword, registryDwordData(0xDEADBEEF)},
        {key, "ShortDword", RegDword, QByteArray("\1\2\3", 3)},
        {key, "Qword", RegQword, registryQwordData(0x0123456789ABCDEFull)},
        {key, "None", RegNone, QByteArray()},
        {key, "NoneWithData", RegNone, QByteArray("\0\1", 2)},
        {key, "BigEndian", RegDwordBigEndian, QByteArray("\0\0\0\1", 4)},
        {key, "Unknown", 0x12345, QByteArray("\xff\xfe", 2)},
        {key, "Binary", RegBinary, binary},
        {key, "EmptyBinary", RegBinary, QByteArray()},
        {key + "\\Weird ]name [x] =\"q\"", "v", RegDword, registryDwordData(1)},
        {key + QStringLiteral("\\软件"), "v", RegDword, registryDwordData(2)},
        {"HKEY_CURRENT_USER\\Software\\Tessaro", "Text", RegSz, registryTextData("user")},
        {"HKEY_USERS\\.DEFAULT\\Control Panel", "v", RegSz, registryTextData("x")},
        {"HKEY_CLASSES_ROOT\\*\\shell", "", RegSz, registryTextData("open")},
    };
}

void fill(RegistryStore& store, const QVector<StoredValue>& values)
{
    for (const StoredValue& value : values)
        store.setValue(value.keyPath, value.name, value.type, value.data);
}

void createEmptyKey(RegistryStore& store, Hive hive, const QString& subKey)
{
    quintptr handle = 0;
    QCOMPARE(store.createKey(hive, subKey, KeyRead, true, &handle), ErrorSuccess);
    store.closeKey(handle);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeHostFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray utf16WithBom(const QString& text)
{
    return QByteArray("\xFF\xFE") + utf16(text);
}

// Loads a registry folder that holds `files` (name -> content); answers the
// load error, empty when the folder loaded.
QString loadFiles(RegistryStore& store, const QMap<QString, QByteArray>& files)
{
    QTemporaryDir folder;
    for (auto it = files.begin(); it != files.end(); ++it)
        writeHostFile(folder.filePath(it.key()), it.value());
    QString error;
    return store.loadFolder(folder.path(), &error) ? QString() : error;
}

// The data of a value, or "<missing>".
QByteArray dataOf(const RegistryStore& store, const QString& keyPath, const QString& name, quint32* type = nullptr)
{
    QByteArray data;
    return store.value(keyPath, name, type, &data) ? data : QByteArray("<missing>");
}

QString hexRun(int count)
{
    QStringList bytes;
    for (int i = 0; i < count; ++i)
        bytes << "5a";
    return bytes.join(',');
}

QStringList regFiles(const QString& folder)
{
    return QDir(folder).entryList({"*.reg"}, QDir::Files, QDir::Name);
}

} // namespace

class TestRegFile : public QObject
{
    Q_OBJECT

private slots:
    void everyValueRoundTripsByteForByte();
    void writesTheTextRegeditWrites();
    void wrapsHexDataAsRegedit();
    void readsEveryEncodingRegeditWrites();
    void appliesFilesInNameOrderWithDeletions();
    void acceptsCommentsBlankLinesAndContinuations();
    void malformedLineNamesFileAndLine_data();
    void malformedLineNamesFileAndLine();
    void failedLoadChangesNothing();
    void saveWritesOneFilePerHiveAndDropsOthers();
    void keepsNamesUtf8CannotHold();
    void readsAFullRegeditExport();
    void nestsKeysAsDeepAsWindowsAndNoDeeper();
    void listsSiblingsInRegistryOrderWhateverTheirFileOrder();
    void keyLinesReachTheKeysTheirPathsName();
    void machineKeepsItsRegistryAcrossSaveAndLoad();
};

void TestRegFile::everyValueRoundTripsByteForByte()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QString error;
    RegistryStore original;
    fill(original, everyKindOfValue());
    createEmptyKey(original, Hive::CurrentUser, "Software\\Empty\\Deeper");
    QVERIFY2(original.saveFolder(first.path(), &error), qPrintable(error));

    RegistryStore loaded;
    QVERIFY2(loaded.loadFolder(first.path(), &error), qPrintable(error));
    for (const StoredValue& expected : everyKindOfValue()) {
        quint32 type = 0;
        QByteArray data;
        QVERIFY2(loaded.value(expected.keyPath, expected.name, &type, &data), qPrintable(expected.name));
        QCOMPARE(type, expected.type);
        QCOMPARE(data, expected.data);
    }
    QVERIFY(loaded.hasKey("HKEY_CURRENT_USER\\Software\\Empty\\Deeper"));

    QVERIFY2(loaded.saveFolder(second.path(), &error), qPrintable(error));
    QCOMPARE(regFiles(second.path()), regFiles(first.path()));
    for (const QString& name : regFiles(first.path()))
        QCOMPARE(readFile(second.filePath(name)), readFile(first.filePath(name)));
}

void TestRegFile::writesTheTextRegeditWrites()
{
    QTemporaryDir folder;
    RegistryStore store;
    const QString key = "HKEY_CURRENT_USER\\Software\\T";
    store.setValue(key, "", RegSz, registryTextData("d"));
    store.setValue(key, "S", RegSz, registryTextData("a\"b\\c"));
    store.setValue(key, "D", RegDword, registryDwordData(0x10));
    store.setValue(key, "Q", RegQword, registryQwordData(1));
    store.setValue(key, "B", RegBinary, QByteArray("\x01\xab", 2));
    store.setValue(key, "E", RegExpandSz, registryTextData("%A%"));
    store.setValue(key, "N", RegNone, QByteArray());
    store.setValue(key, "Empty", RegSz, QByteArray());
    store.setValue(key, "ShortDword", RegDword, QByteArray("\x01", 1));
    QString error;
    QVERIFY(store.saveFolder(folder.path(), &error));
    QCOMPARE(QString::fromUtf8(readFile(folder.filePath("HKEY_CURRENT_USER.reg"))),
             QStringLiteral("Windows Registry Editor Version 5.00\n"
                            "\n[HKEY_CURRENT_USER]\n"
                            "\n[HKEY_CURRENT_USER\\Software]\n"
                            "\n[HKEY_CURRENT_USER\\Software\\T]\n"
                            "@=\"d\"\n"
                            "\"S\"=\"a\\\"b\\\\c\"\n"
                            "\"D\"=dword:00000010\n"
                            "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
                            "\"B\"=hex:01,ab\n"
                            "\"E\"=hex(2):25,00,41,00,25,00,00,00\n"
                            "\"N\"=hex(0):\n"
                            "\"Empty\"=hex(1):\n"
                            "\"ShortDword\"=hex(4):01\n"
                            "\n"));
}

void TestRegFile::wrapsHexDataAsRegedit()
{
    QTemporaryDir folder;
    RegistryStore store;
    store.setValue("HKEY_CURRENT_USER\\Wrap", "Binary", RegBinary, QByteArray(100, '\x5a'));
    QString error;
    QVERIFY(store.saveFolder(folder.path(), &error));
    const QStringList lines = QString::fromUtf8(readFile(folder.filePath("HKEY_CURRENT_USER.reg"))).split('\n');
    const int first = lines.indexOf(QRegularExpression("^\"Binary\"=hex:.*"));
    QVERIFY(first > 0);
    // 22 bytes after the name on the first line, 25 on each full continuation line.
    QCOMPARE(lines.at(first), "\"Binary\"=hex:" + hexRun(22) + ",\\");
    QCOMPARE(lines.at(first + 1), "  " + hexRun(25) + ",\\");
    QCOMPARE(lines.at(first + 2), "  " + hexRun(25) + ",\\");
    QCOMPARE(lines.at(first + 3), "  " + hexRun(25) + ",\\");
    QCOMPARE(lines.at(first + 4), "  5a,5a,5a");
    for (const QString& line : lines)
        QVERIFY(line.size() <= 80);
}

void TestRegFile::readsEveryEncodingRegeditWrites()
{
    const QString user = QStringLiteral("HKEY_CURRENT_USER\\Software\\中文");
    const QByteArray utf16File = utf16WithBom(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                                             "[HKEY_CURRENT_USER\\Software\\中文]\r\n"
                                                             "\"名称\"=\"值\"\r\n"
                                                             "\"Bin\"=hex:01,02,\\\r\n"
                                                             "  03\r\n"));
    const QByteArray utf8File = QByteArray("\xEF\xBB\xBF") + QStringLiteral(
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\A]\n\"v\"=\"ü\"\n").toUtf8();
    const QByteArray regedit4 = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\B]\n\"s\"=\"plain\"\n\"e\"=hex(2):25,41,25,00\n";
    RegistryStore store;
    const QString error = loadFiles(store, {{"user.reg", utf16File}, {"a.reg", utf8File}, {"b.reg", regedit4}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(dataOf(store, user, QStringLiteral("名称")), registryTextData(QStringLiteral("值")));
    QCOMPARE(dataOf(store, user, "Bin"), QByteArray("\1\2\3", 3));
    QCOMPARE(dataOf(store, "HKEY_LOCAL_MACHINE\\SYSTEM\\A", "v"), registryTextData(QStringLiteral("ü")));
    QCOMPARE(dataOf(store, "HKEY_LOCAL_MACHINE\\SYSTEM\\B", "s"), registryTextData("plain"));
    // REGEDIT4 keeps text data single-byte; the registry holds it as UTF-16LE.
    QCOMPARE(dataOf(store, "HKEY_LOCAL_MACHINE\\SYSTEM\\B", "e"), registryTextData("%A%"));
}

void TestRegFile::appliesFilesInNameOrderWithDeletions()
{
    RegistryStore store;
    const QString error = loadFiles(store, {{"2-changes.reg", "Windows Registry Editor Version 5.00\n\n"
                                                              "[-HKEY_CURRENT_USER\\Software\\Gone]\n"
                                                              "\"ignored\"=dword:00000001\n\n"
                                                              "[HKEY_CURRENT_USER\\Software\\Kept]\n"
                                                              "\"drop\"=-\n"
                                                              "@=-\n"
                                                              "\"keep\"=dword:00000002\n"},
                                            {"1-base.reg", "Windows Registry Editor Version 5.00\n\n"
                                                           "[HKEY_CURRENT_USER\\Software\\Gone\\Child]\n"
                                                           "\"v\"=dword:00000001\n\n"
                                                           "[HKEY_CURRENT_USER\\Software\\Kept]\n"
                                                           "@=\"default\"\n"
                                                           "\"drop\"=dword:00000001\n"
                                                           "\"keep\"=dword:00000001\n"}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!store.hasKey("HKEY_CURRENT_USER\\Software\\Gone"));
    QVERIFY(!store.value("HKEY_CURRENT_USER\\Software\\Kept", "drop", nullptr, nullptr));
    QVERIFY(!store.value("HKEY_CURRENT_USER\\Software\\Kept", "", nullptr, nullptr));
    QCOMPARE(dataOf(store, "HKEY_CURRENT_USER\\Software\\Kept", "keep"), registryDwordData(2));
}

void TestRegFile::acceptsCommentsBlankLinesAndContinuations()
{
    RegistryStore store;
    const QString error = loadFiles(store, {{"hand.reg", "Windows Registry Editor Version 5.00\n"
                                                         "; written by hand\n"
                                                         "\n"
                                                         "   [HKEY_CURRENT_USER\\Software\\Hand\\]   \n"
                                                         "  \"Multi\"=hex(7):61,00,00,00,\\\n"
                                                         "\t  62,00, 00 ,00,\\\n"
                                                         "    00,00\n"
                                                         "\"Upper\"=DWORD:0000ABCD\n"
                                                         "\"Short\"=dword:7\n"
                                                         "\"Spaced\" = \"x\"\n"}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString key = "HKEY_CURRENT_USER\\Software\\Hand";
    quint32 type = 0;
    QCOMPARE(dataOf(store, key, "Multi", &type), registryMultiTextData({"a", "b"}));
    QCOMPARE(type, quint32(RegMultiSz));
    QCOMPARE(dataOf(store, key, "Upper"), registryDwordData(0xABCD));
    QCOMPARE(dataOf(store, key, "Short"), registryDwordData(7));
    QCOMPARE(dataOf(store, key, "Spaced"), registryTextData("x"));
}

void TestRegFile::malformedLineNamesFileAndLine_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("line");
    const QByteArray header = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n";
    QTest::newRow("no header") << QByteArray("Windows Registry Editor Version 4.00\n") << 1;
    QTest::newRow("empty file") << QByteArray() << 1;
    QTest::newRow("dword too long") << header + "\"x\"=dword:123456789\n" << 4;
    QTest::newRow("dword not hex") << header + "\"ok\"=dword:1\n\"x\"=dword:12g\n" << 5;
    QTest::newRow("missing quote") << header + "\"x\"=\"abc\n" << 4;
    QTest::newRow("unknown escape") << header + "\"x\"=\"a\\qb\"\n" << 4;
    QTest::newRow("text after string") << header + "\"x\"=\"a\" b\n" << 4;
    QTest::newRow("no equals") << header + "\"x\" \"a\"\n" << 4;
    QTest::newRow("bare word") << header + "x=1\n" << 4;
    QTest::newRow("unknown hive") << QByteArray("Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\A]\n") << 2;
    QTest::newRow("unclosed key") << QByteArray("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n") << 2;
    QTest::newRow("value before key") << QByteArray("Windows Registry Editor Version 5.00\n\n\"x\"=dword:1\n") << 3;
    QTest::newRow("bad hex type") << header + "\"x\"=hex(zz):00\n" << 4;
    QTest::newRow("bad byte in continuation") << header + "\"x\"=hex:01,02,\\\n  03,0g\n" << 5;
    QTest::newRow("missing comma before continuation") << header + "\"x\"=hex:01,02\\\n  03\n" << 4;
    QTest::newRow("unknown data") << header + "\"x\"=qword:1\n" << 4;
    QTest::newRow("delete a hive") << QByteArray("Windows Registry Editor Version 5.00\n[-HKEY_CURRENT_USER]\n") << 2;
    QTest::newRow("not utf-8") << QByteArray("Windows Registry Editor Version 5.00\n\"\xff\"\n") << 2;
    QTest::newRow("a key 513 levels deep") << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER"
                                                  + QByteArray("\\k").repeated(513) + "]\n" << 3;
    QByteArray levelByLevel = "Windows Registry Editor Version 5.00\n";
    QByteArray path = "HKEY_CURRENT_USER";
    for (int depth = 1; depth <= 513; ++depth) {
        path += "\\k";
        levelByLevel += "[" + path + "]\n";
    }
    QTest::newRow("a key 513 levels deep, written level by level") << levelByLevel << 514;
    QTest::newRow("a key 300,000 levels deep") << "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER"
                                                      + QByteArray("\\k").repeated(300000) + "]\n" << 2;
}

void TestRegFile::malformedLineNamesFileAndLine()
{
    QFETCH(QByteArray, body);
    QFETCH(int, line);
    RegistryStore store;
    const QString error = loadFiles(store, {{"HKEY_LOCAL_MACHINE.reg", body}});
    QVERIFY2(error.contains(QStringLiteral("HKEY_LOCAL_MACHINE.reg:%1: ").arg(line)), qPrintable(error));
}

void TestRegFile::failedLoadChangesNothing()
{
    QTemporaryDir folder;
    writeHostFile(folder.filePath("a.reg"), "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\New]\n\"v\"=dword:1\n");
    writeHostFile(folder.filePath("b.reg"), "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Bad]\n\"v\"=bogus\n");
    RegistryStore store;
    store.setValue("HKEY_CURRENT_USER\\Old", "v", RegDword, registryDwordData(1));
    QString error;
    QVERIFY(!store.loadFolder(folder.path(), &error));
    QVERIFY2(error.endsWith(QStringLiteral("b.reg:3: unknown value data \"bogus\"")), qPrintable(error));
    QVERIFY(store.hasKey("HKEY_CURRENT_USER\\Old"));
    QVERIFY(!store.hasKey("HKEY_CURRENT_USER\\New"));
    QCOMPARE(regFiles(folder.path()), (QStringList{"a.reg", "b.reg"}));
}

void TestRegFile::saveWritesOneFilePerHiveAndDropsOthers()
{
    QTemporaryDir folder;
    writeHostFile(folder.filePath("HKEY_USERS.reg"), "Windows Registry Editor Version 5.00\n[HKEY_USERS\\Old]\n");
    writeHostFile(folder.filePath("extra.reg"), "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Extra]\n");
    writeHostFile(folder.filePath("notes.txt"), "kept");
    RegistryStore store;
    QString error;
    QVERIFY(store.loadFolder(folder.path(), &error));
    QVERIFY(store.removeKey("HKEY_USERS\\Old"));
    store.setValue("HKEY_LOCAL_MACHINE\\SYSTEM\\X", "v", RegDword, registryDwordData(1));
    QVERIFY2(store.saveFolder(folder.path(), &error), qPrintable(error));
    QCOMPARE(regFiles(folder.path()), (QStringList{"HKEY_CURRENT_USER.reg", "HKEY_LOCAL_MACHINE.reg"}));
    QVERIFY(QFile::exists(folder.filePath("notes.txt")));

    RegistryStore reloaded;
    QVERIFY(reloaded.loadFolder(folder.path(), &error));
    QVERIFY(reloaded.hasKey("HKEY_CURRENT_USER\\Extra"));
    QVERIFY(!reloaded.hasKey("HKEY_USERS\\Old"));
    QVERIFY(reloaded.value("HKEY_LOCAL_MACHINE\\SYSTEM\\X", "v", nullptr, nullptr));
}

void TestRegFile::machineKeepsItsRegistryAcrossSaveAndLoad()
{
    TestMachine machine;
    {
        RegistryKey key;
        QCOMPARE(key.create(Hive::LocalMachine, "SOFTWARE\\Tessaro", KeyWrite), ErrorSuccess);
        QCOMPARE(key.writeText("Name", QStringLiteral("清理")), ErrorSuccess);
    }
    QString error;
    QVERIFY2(machine->save(&error), qPrintable(error));

    win::sim::SimMachine reloaded;
    QVERIFY2(reloaded.load(machine.folder(), &error), qPrintable(error));
    QByteArray data;
    QVERIFY(reloaded.registry().value("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tessaro", "Name", nullptr, &data));
    QCOMPARE(data, registryTextData(QStringLiteral("清理")));

    writeHostFile(machine.folder() + "/registry/HKEY_LOCAL_MACHINE.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"broken\n");
    win::sim::SimMachine broken;
    QVERIFY(!broken.load(machine.folder(), &error));
    QVERIFY2(error.contains("HKEY_LOCAL_MACHINE.reg:4: "), qPrintable(error));
}

void TestRegFile::keepsNamesUtf8CannotHold()
{
    // A lone surrogate is a valid UTF-16 unit of a Windows name; written as
    // '?' it would rename the key and merge the two values.
    const QString lone = QString(QChar(0xDC00));
    const QString key = "HKEY_CURRENT_USER\\Software\\Tool" + lone;
    RegistryStore store;
    store.setValue(key, "a" + lone, RegDword, registryDwordData(1));
    store.setValue(key, "a?", RegDword, registryDwordData(2));
    store.setValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Plain", "v", RegDword, registryDwordData(3));
    QTemporaryDir folder;
    QString error;
    QVERIFY2(store.saveFolder(folder.path(), &error), qPrintable(error));

    const QByteArray userFile = readFile(folder.filePath("HKEY_CURRENT_USER.reg"));
    QVERIFY(userFile.startsWith(utf16WithBom("Windows Registry Editor Version 5.00\r\n")));
    QVERIFY(readFile(folder.filePath("HKEY_LOCAL_MACHINE.reg")).startsWith("Windows Registry Editor Version 5.00\n"));
    RegistryStore loaded;
    QVERIFY2(loaded.loadFolder(folder.path(), &error), qPrintable(error));
    QCOMPARE(dataOf(loaded, key, "a" + lone), registryDwordData(1));
    QCOMPARE(dataOf(loaded, key, "a?"), registryDwordData(2));
    QCOMPARE(dataOf(loaded, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Plain", "v"), registryDwordData(3));
}

void TestRegFile::readsAFullRegeditExport()
{
    // regedit's export of the whole registry: UTF-16, every root key, and
    // strings with line breaks as some tools escape them.
    const QByteArray export_ = utf16WithBom(QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\r\n\"Notes\"=\"one\\r\\ntwo\\n\\\\n\"\r\n\r\n"
        "[HKEY_CURRENT_CONFIG]\r\n\r\n"
        "[HKEY_CURRENT_CONFIG\\Software\\Fonts]\r\n\"LogPixels\"=dword:00000060\r\n"));
    QTemporaryDir folder;
    writeHostFile(folder.filePath("full.reg"), export_);
    RegistryStore store;
    QString error;
    QVERIFY2(store.loadFolder(folder.path(), &error), qPrintable(error));
    QCOMPARE(dataOf(store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "Notes"), registryTextData("one\r\ntwo\n\\n"));
    QCOMPARE(dataOf(store, "HKEY_CURRENT_CONFIG\\Software\\Fonts", "LogPixels"), registryDwordData(0x60));

    QVERIFY2(store.saveFolder(folder.path(), &error), qPrintable(error));
    QCOMPARE(regFiles(folder.path()), (QStringList{"HKEY_CURRENT_CONFIG.reg", "HKEY_LOCAL_MACHINE.reg"}));
    // Saved in the form regedit reads back: text with line breaks as hex(1).
    QVERIFY(readFile(folder.filePath("HKEY_LOCAL_MACHINE.reg")).contains("\"Notes\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,"));
    RegistryStore reloaded;
    QVERIFY2(reloaded.loadFolder(folder.path(), &error), qPrintable(error));
    QCOMPARE(dataOf(reloaded, "HKEY_CURRENT_CONFIG\\Software\\Fonts", "LogPixels"), registryDwordData(0x60));
    QCOMPARE(dataOf(reloaded, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "Notes"), registryTextData("one\r\ntwo\n\\n"));
}

void TestRegFile::nestsKeysAsDeepAsWindowsAndNoDeeper()
{
    const QString deepest = "Software" + QString("\\k").repeated(511);
    RegistryStore store;
    createEmptyKey(store, Hive::CurrentUser, deepest);
    quintptr handle = 0;
    QCOMPARE(store.createKey(Hive::CurrentUser, deepest + "\\k", KeyRead, true, &handle), ErrorInvalidParameter);
    QVERIFY(!store.setValue("HKEY_CURRENT_USER\\" + deepest + "\\k", "v", RegDword, registryDwordData(1)));

    QTemporaryDir folder;
    QString error;
    QVERIFY2(store.saveFolder(folder.path(), &error), qPrintable(error));
    RegistryStore loaded;
    QVERIFY2(loaded.loadFolder(folder.path(), &error), qPrintable(error));
    QVERIFY(loaded.hasKey("HKEY_CURRENT_USER\\" + deepest));
}

void TestRegFile::listsSiblingsInRegistryOrderWhateverTheirFileOrder()
{
    QByteArray backwards = "Windows Registry Editor Version 5.00\n";
    for (const char* name : {"Zeta", "gamma", "Beta", "alpha"})
        backwards += QByteArray("\n[HKEY_CURRENT_USER\\Order\\") + name + "]\n";
    RegistryStore store;
    QCOMPARE(loadFiles(store, {{"order.reg", backwards}}), QString());
    createEmptyKey(store, Hive::CurrentUser, "Order\\Delta");
    QVERIFY(store.removeKey("HKEY_CURRENT_USER\\Order\\gamma"));
    createEmptyKey(store, Hive::CurrentUser, "Order\\Epsilon");

    QTemporaryDir folder;
    QString error;
    QVERIFY2(store.saveFolder(folder.path(), &error), qPrintable(error));
    QStringList keys;
    for (const QString& line : QString::fromUtf8(readFile(folder.filePath("HKEY_CURRENT_USER.reg"))).split('\n')) {
        if (line.startsWith("[HKEY_CURRENT_USER\\Order\\"))
            keys << line.section('\\', 2).chopped(1);
    }
    QCOMPARE(keys, (QStringList{"alpha", "Beta", "Delta", "Epsilon", "Zeta"}));
}

// Consecutive key lines name their parents in many spellings; a deleted key
// is never reached again through the line before.
void TestRegFile::keyLinesReachTheKeysTheirPathsName()
{
    RegistryStore store;
    const QString error = loadFiles(store, {{"keys.reg", "Windows Registry Editor Version 5.00\n"
                                                         "[HKEY_CURRENT_USER\\Software\\Old]\n"
                                                         "[HKEY_CURRENT_USER\\Software\\Old\\Child]\n"
                                                         "[-HKEY_CURRENT_USER\\Software\\Old]\n"
                                                         "[HKEY_CURRENT_USER\\Software\\Old\\Again]\n"
                                                         "\"v\"=dword:1\n"
                                                         "[HKEY_CURRENT_USER\\Software\\old\\Cased]\n"
                                                         "[HKCU\\Software\\Old\\Short]\n"
                                                         "[HKEY_CURRENT_USER\\Software\\Old\\\\Doubled]\n"
                                                         "[HKEY_CURRENT_USER\\Software\\Old\\Doubled\\]\n"
                                                         "\"w\"=dword:2\n"
                                                         "[HKEY_CURRENT_USER]\n"
                                                         "[HKEY_CURRENT_USER\\Top]\n"}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!store.hasKey("HKEY_CURRENT_USER\\Software\\Old\\Child"));
    QCOMPARE(dataOf(store, "HKEY_CURRENT_USER\\Software\\Old\\Again", "v"), registryDwordData(1));
    QCOMPARE(dataOf(store, "HKEY_CURRENT_USER\\Software\\Old\\Doubled", "w"), registryDwordData(2));
    for (const char* key : {"Cased", "Short", "Doubled"})
        QVERIFY2(store.hasKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\Old\\") + key), key);
    QVERIFY(store.hasKey("HKEY_CURRENT_USER\\Top"));
    QTemporaryDir folder;
    QString saveError;
    QVERIFY2(store.saveFolder(folder.path(), &saveError), qPrintable(saveError));
    const QByteArray text = readFile(folder.filePath("HKEY_CURRENT_USER.reg"));
    QCOMPARE(text.count("[HKEY_CURRENT_USER\\Software\\Old"), 5);
}

QTEST_GUILESS_MAIN(TestRegFile)
#include "tst_regfile.moc"
