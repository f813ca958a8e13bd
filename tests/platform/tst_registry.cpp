#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;

namespace {

const QString Native = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro");
const QString Redirected = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tessaro");
const QString User = QStringLiteral("HKEY_CURRENT_USER\\Software\\");

QByteArray storedData(TestMachine& machine, const QString& keyPath, const QString& name)
{
    QByteArray data;
    machine->registry().value(keyPath, name, nullptr, &data);
    return data;
}

// A key that is expected to open; a failure shows in the calls made on it.
RegistryKey opened(Hive hive, const QString& subKey, quint32 access)
{
    RegistryKey key;
    key.open(hive, subKey, access);
    return key;
}

RegistryKey created(Hive hive, const QString& subKey, quint32 access)
{
    RegistryKey key;
    key.create(hive, subKey, access);
    return key;
}

QStringList subKeyNames(const RegistryKey& key)
{
    QStringList names;
    for (RegistryKeyIterator it(key, 256); it.next();)
        names << it.name();
    return names;
}

QStringList valueNames(const RegistryKey& key)
{
    QStringList names;
    for (RegistryValueIterator it(key, 16384, RegistryKey::UnlimitedBuffer); it.next();)
        names << it.name();
    return names;
}

} // namespace

Q_DECLARE_METATYPE(win::Hive)

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void viewsDecideWhereAKeyIsStored_data();
    void viewsDecideWhereAKeyIsStored();
    void keysOpenedBelowAKeyKeepItsView();
    void namesAreCaseInsensitiveAndCasePreserving();
    void subKeysEnumerateInUpperCaseOrderAndValuesInCreationOrder();
    void valuesKeepTheirOrderThroughDeletions_data();
    void valuesKeepTheirOrderThroughDeletions();
    void deletedValuesStayGoneUntilWrittenAgain_data();
    void deletedValuesStayGoneUntilWrittenAgain();
    void queryValueAnswersMoreDataWithTheTypeAndRequiredSize();
    void enumerationChecksNameAndDataBuffers();
    void queryInfoGivesCountsAndMaxima();
    void missingKeysAndValuesAreNotFound();
    void accessRightsAreEnforced();
    void standardUserCannotWriteLocalMachine();
    void aRegistryFilterKeepsTheKeysItGuards();
    void deletedKeyAnswersKeyDeleted();
    void deleteEmptySubKeyRefusesKeysWithSubKeys();
    void deleteTreeRemovesEverythingBelow();
    void subKeyPathsAcceptSurroundingBackslashes();
    void readTextUsesTheByteCountAndCutsAtNul();
    void readDwordRequiresFourByteDword();
    void writeTextStoresTheTerminator();
    void iteratorsPassOverOversizedEntries();
    void handlesCloseWithTheirKeys();
    void withoutMachineEveryCallFails();
};

void TestRegistry::viewsDecideWhereAKeyIsStored_data()
{
    QTest::addColumn<QString>("architecture");
    QTest::addColumn<Hive>("hive");
    QTest::addColumn<QString>("subKey");
    QTest::addColumn<quint32>("view");
    QTest::addColumn<QString>("stored");   // empty: refused
    QTest::addColumn<QString>("absent");
    const quint32 v32 = KeyWow64_32Key;
    const quint32 v64 = KeyWow64_64Key;
    const QString literal = QStringLiteral("Software\\Wow6432Node\\Tessaro");
    const QString doubled = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\WOW6432Node");
    const Hive hklm = Hive::LocalMachine;
    QTest::newRow("x64 default view") << "x64" << hklm << "SOFTWARE\\Tessaro" << 0u << Redirected << Native;
    QTest::newRow("x64 32-bit view") << "x64" << hklm << "SOFTWARE\\Tessaro" << v32 << Redirected << Native;
    QTest::newRow("x64 64-bit view") << "x64" << hklm << "SOFTWARE\\Tessaro" << v64 << Native << Redirected;
    QTest::newRow("literal, default") << "x64" << hklm << literal << 0u << Redirected << doubled;
    QTest::newRow("literal, 32-bit") << "x64" << hklm << literal << v32 << Redirected << doubled;
    QTest::newRow("literal, 64-bit") << "x64" << hklm << literal << v64 << Redirected << doubled;
    QTest::newRow("x86 default view") << "x86" << hklm << "SOFTWARE\\Tessaro" << 0u << Native << Redirected;
    QTest::newRow("x86 32-bit view") << "x86" << hklm << "SOFTWARE\\Tessaro" << v32 << Native << Redirected;
    QTest::newRow("x86 64-bit view") << "x86" << hklm << "SOFTWARE\\Tessaro" << v64 << Native << Redirected;
    QTest::newRow("user hive is shared") << "x64" << Hive::CurrentUser << "Software\\Tessaro" << 0u
                                         << "HKEY_CURRENT_USER\\Software\\Tessaro" << QString();
    QTest::newRow("SYSTEM is shared") << "x64" << hklm << "SYSTEM\\Tessaro" << 0u
                                      << "HKEY_LOCAL_MACHINE\\SYSTEM\\Tessaro" << QString();
    // Policies live once for both views, even below HKLM\SOFTWARE.
    QTest::newRow("policies are shared") << "x64" << hklm << "SOFTWARE\\Policies\\Google\\Chrome" << 0u
                                         << "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Google\\Chrome"
                                         << "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Policies";
    QTest::newRow("explorer policies are shared")
        << "x64" << hklm << "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run" << 0u
        << "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"
        << "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies";
    QTest::newRow("a lookalike of a shared key") << "x64" << hklm << "SOFTWARE\\PoliciesBackup" << 0u
                                                 << "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\PoliciesBackup"
                                                 << "HKEY_LOCAL_MACHINE\\SOFTWARE\\PoliciesBackup";
    QTest::newRow("both view flags") << "x64" << Hive::CurrentUser << "Software" << (v32 | v64) << QString() << QString();
}

void TestRegistry::viewsDecideWhereAKeyIsStored()
{
    QFETCH(QString, architecture);
    QFETCH(Hive, hive);
    QFETCH(QString, subKey);
    QFETCH(quint32, view);
    QFETCH(QString, stored);
    QFETCH(QString, absent);
    QJsonObject system = TestMachine::defaultMachineJson().value("system").toObject();
    system.insert("architecture", architecture);
    TestMachine machine(QJsonObject{{"system", system}});
    QVERIFY(machine.loaded());
    QCOMPARE(machine->registry().native64Bit(), architecture == "x64");

    RegistryKey key;
    if (stored.isEmpty()) {
        QCOMPARE(key.create(hive, subKey, KeyRead | view), ErrorInvalidParameter);
        QVERIFY(!key.isValid());
        return;
    }
    QCOMPARE(key.create(hive, subKey, KeyAllAccess | view), ErrorSuccess);
    QCOMPARE(key.writeDword("View", view), ErrorSuccess);
    QCOMPARE(storedData(machine, stored, "View"), registryDwordData(view));
    if (!absent.isEmpty())
        QVERIFY(!machine->registry().hasKey(absent));
    quint32 read = 0xFFFF;
    QCOMPARE(opened(hive, subKey, KeyRead | view).readDword("View", &read), ErrorSuccess);
    QCOMPARE(read, view);
}

void TestRegistry::keysOpenedBelowAKeyKeepItsView()
{
    TestMachine machine;
    machine.setDword(Native, "Bits", 64);
    machine.setDword(Redirected, "Bits", 32);
    machine.setText(Native + "\\Only64", "", "x");
    machine.setText("HKEY_LOCAL_MACHINE\\SOFTWARE\\NativeOnly", "", "x");

    const RegistryKey software = opened(Hive::LocalMachine, "SOFTWARE", KeyRead);
    const QStringList names = subKeyNames(software);
    QVERIFY(names.contains("Tessaro"));
    QVERIFY(!names.contains("NativeOnly"));
    QVERIFY(!names.contains("WOW6432Node"));
    RegistryKey below;
    quint32 bits = 0;
    QCOMPARE(software.openSubKey("Tessaro", KeyRead, below), ErrorSuccess);
    QCOMPARE(below.readDword("Bits", &bits), ErrorSuccess);
    QCOMPARE(bits, 32u);

    const RegistryKey root = opened(Hive::LocalMachine, "", KeyRead | KeyWow64_64Key);
    QCOMPARE(root.openSubKey("SOFTWARE\\Tessaro", KeyRead, below), ErrorSuccess);
    QCOMPARE(below.readDword("Bits", &bits), ErrorSuccess);
    QCOMPARE(bits, 64u);
    QCOMPARE(subKeyNames(below), QStringList{"Only64"});
    QCOMPARE(below.openSubKey("Only64", KeyRead, below), ErrorSuccess);
    QVERIFY(below.isValid());
}

void TestRegistry::namesAreCaseInsensitiveAndCasePreserving()
{
    TestMachine machine;
    RegistryKey key = created(Hive::CurrentUser, "Software\\MixedCase", KeyAllAccess);
    QCOMPARE(key.writeText("ValueName", "first"), ErrorSuccess);
    QCOMPARE(key.writeText("VALUENAME", "second"), ErrorSuccess);

    const RegistryKey again = opened(Hive::CurrentUser, "SOFTWARE\\mixedcase", KeyRead);
    QString text;
    QCOMPARE(again.readText("valuename", &text), ErrorSuccess);
    QCOMPARE(text, QString("second"));
    QCOMPARE(valueNames(again), QStringList{"ValueName"});
    QCOMPARE(subKeyNames(opened(Hive::CurrentUser, "software", KeyRead)), QStringList{"MixedCase"});
}

void TestRegistry::subKeysEnumerateInUpperCaseOrderAndValuesInCreationOrder()
{
    TestMachine machine;
    RegistryKey key = created(Hive::CurrentUser, "Software\\Order", KeyAllAccess);
    for (const QString& name : QStringList{"b", "_under", "A", "c10", "C2"})
        QVERIFY(created(Hive::CurrentUser, "Software\\Order\\" + name, KeyRead).isValid());
    // Upper-cased, '_' (0x5F) sorts after the letters, unlike a lower-casing comparison.
    QCOMPARE(subKeyNames(key), (QStringList{"A", "b", "c10", "C2", "_under"}));

    for (const QString& name : QStringList{"zeta", "Alpha", "", "mid"})
        QCOMPARE(key.writeDword(name, 1), ErrorSuccess);
    QCOMPARE(key.writeDword("ALPHA", 2), ErrorSuccess);
    QCOMPARE(key.deleteValue("zeta"), ErrorSuccess);
    QCOMPARE(key.writeDword("Zeta", 3), ErrorSuccess);
    QCOMPARE(valueNames(key), (QStringList{"Alpha", "", "mid", "Zeta"}));
}

void TestRegistry::valuesKeepTheirOrderThroughDeletions_data()
{
    QTest::addColumn<int>("values");
    QTest::newRow("a few") << 10;
    QTest::newRow("many") << 300;
}

// Deleting values one by one, forwards, backwards and while the key is
// enumerated, leaves the others in their order, each found by its name.
void TestRegistry::valuesKeepTheirOrderThroughDeletions()
{
    QFETCH(int, values);
    TestMachine machine;
    RegistryKey key = created(Hive::CurrentUser, "Software\\Many", KeyAllAccess);
    QStringList expected;
    for (int i = 0; i < values; ++i) {
        expected << QString("Value%1").arg(i);
        QCOMPARE(key.writeDword(expected.last(), quint32(i)), ErrorSuccess);
    }
    const auto nameAt = [&key](int index) {
        QString name;
        key.enumValue(quint32(index), &name, 64, nullptr, nullptr, 0);
        return name;
    };
    // Every third value, while walking the values from the first.
    for (int index = 0; index < expected.size(); ++index) {
        QCOMPARE(nameAt(index), expected[index]);
        if (expected[index].mid(5).toInt() % 3 == 1) {
            QCOMPARE(key.deleteValue(expected[index].toLower()), ErrorSuccess);
            expected.removeAt(index--);
        }
    }
    QCOMPARE(valueNames(key), expected);
    // Every other one, walking from the last.
    for (int index = expected.size() - 1; index >= 0; index -= 2) {
        QCOMPARE(nameAt(index), expected[index]);
        QCOMPARE(key.deleteValue(expected.takeAt(index)), ErrorSuccess);
    }
    QCOMPARE(valueNames(key), expected);
    // One before the value last read, and one after it.
    const int middle = expected.size() / 2;
    QCOMPARE(key.deleteValue(expected.takeLast()), ErrorSuccess);
    QCOMPARE(nameAt(middle), expected[middle]);
    QCOMPARE(key.deleteValue(expected.takeFirst()), ErrorSuccess);
    QCOMPARE(nameAt(middle - 1), expected[middle - 1]);
    QCOMPARE(key.writeDword(expected.first().toUpper(), 7), ErrorSuccess);   // still there: keeps its place
    QCOMPARE(key.writeDword("Value1", 1), ErrorSuccess);   // deleted: comes back last
    expected << "Value1";
    QCOMPARE(valueNames(key), expected);
    quint32 dword = 0;
    QCOMPARE(key.readDword(expected.at(expected.size() / 2), &dword), ErrorSuccess);
    QCOMPARE(key.readDword("Value4", &dword), ErrorFileNotFound);
    // The first one, again and again, until none is left.
    while (!expected.isEmpty()) {
        QCOMPARE(nameAt(0), expected.first());
        QCOMPARE(key.deleteValue(expected.takeFirst()), ErrorSuccess);
    }
    QCOMPARE(nameAt(0), QString());
}

// A few values are looked through, many through the key's index.
void TestRegistry::deletedValuesStayGoneUntilWrittenAgain_data()
{
    valuesKeepTheirOrderThroughDeletions_data();
}

// The key's default value (no name) and a named one, deleted from a key of
// other values, are not found in any spelling, read or enumerated, however
// the values around them are asked for; written again, they come back last.
void TestRegistry::deletedValuesStayGoneUntilWrittenAgain()
{
    QFETCH(int, values);
    TestMachine machine;
    RegistryKey key = created(Hive::CurrentUser, "Software\\Gone", KeyAllAccess);
    QStringList expected{"", "Gone"};
    for (int i = 0; i < values; ++i)
        expected << QString("Value%1").arg(i);
    for (const QString& name : qAsConst(expected))
        QCOMPARE(key.writeDword(name, 1), ErrorSuccess);
    quint32 dword = 0;
    QCOMPARE(key.deleteValue(""), ErrorSuccess);
    QCOMPARE(key.readDword("Value0", &dword), ErrorSuccess);
    QCOMPARE(key.deleteValue("GONE"), ErrorSuccess);
    QCOMPARE(key.readDword("Value0", &dword), ErrorSuccess);
    expected.removeFirst();
    expected.removeFirst();
    for (const QString& name : QStringList{"", "Gone", "gone"}) {
        QCOMPARE(key.readDword(name, &dword), ErrorFileNotFound);
        QCOMPARE(key.deleteValue(name), ErrorFileNotFound);
    }
    QCOMPARE(valueNames(key), expected);
    QCOMPARE(key.writeDword("gone", 2), ErrorSuccess);
    QCOMPARE(key.writeDword("", 3), ErrorSuccess);
    expected << "gone" << "";
    QCOMPARE(valueNames(key), expected);
    QCOMPARE(key.readDword("Gone", &dword), ErrorSuccess);
    QCOMPARE(dword, 2u);
    QCOMPARE(key.readDword("", &dword), ErrorSuccess);
    QCOMPARE(dword, 3u);
}

void TestRegistry::queryValueAnswersMoreDataWithTheTypeAndRequiredSize()
{
    TestMachine machine;
    machine.setText(User + "Sizes", "Text", "abc");
    const RegistryKey key = opened(Hive::CurrentUser, "Software\\Sizes", KeyRead);

    quint32 type = 99;
    QByteArray data("untouched");
    quint32 required = 0;
    QCOMPARE(key.queryValue("Text", &type, &data, 7, &required), ErrorMoreData);
    QCOMPARE(required, 8u);
    QCOMPARE(type, quint32(RegSz));
    QCOMPARE(data, QByteArray("untouched"));

    QCOMPARE(key.queryValue("Text", &type, &data, 8, &required), ErrorSuccess);
    QCOMPARE(type, quint32(RegSz));
    QCOMPARE(data, registryTextData("abc"));

    // Without a data buffer the call only reports the size and the type.
    required = 0;
    QCOMPARE(key.queryValue("Text", &type, nullptr, 0, &required), ErrorSuccess);
    QCOMPARE(required, 8u);
}

void TestRegistry::enumerationChecksNameAndDataBuffers()
{
    TestMachine machine;
    machine->registry().setValue(User + "Enum", "abcd", RegBinary, QByteArray(10, 'x'));
    machine->registry().setValue(User + "Enum\\wxyz", "", RegNone, QByteArray());
    const RegistryKey key = opened(Hive::CurrentUser, "Software\\Enum", KeyRead);

    QString name = "untouched";
    quint32 type = 0;
    QByteArray data("untouched");
    quint32 required = 0;
    QCOMPARE(key.enumValue(0, &name, 4, &type, &data, 10, &required), ErrorMoreData);
    QCOMPARE(name, QString("untouched"));   // a name that does not fit reports nothing
    QCOMPARE(type, 0u);
    QCOMPARE(required, 0u);
    // Data that does not fit still reports the name, the type and the size needed.
    QCOMPARE(key.enumValue(0, &name, 5, &type, &data, 9, &required), ErrorMoreData);
    QCOMPARE(name, QString("abcd"));
    QCOMPARE(type, quint32(RegBinary));
    QCOMPARE(required, 10u);
    QCOMPARE(data, QByteArray("untouched"));
    QCOMPARE(key.enumValue(0, &name, 5, &type, &data, 10), ErrorSuccess);
    QCOMPARE(name, QString("abcd"));
    QCOMPARE(data.size(), 10);
    QCOMPARE(key.enumValue(0, &name, 5, &type, nullptr, 0), ErrorSuccess);
    QCOMPARE(key.enumValue(1, &name, 5, &type, &data, 10), ErrorNoMoreItems);

    QCOMPARE(key.enumKey(0, &name, 4), ErrorMoreData);
    QCOMPARE(key.enumKey(0, &name, 5), ErrorSuccess);
    QCOMPARE(name, QString("wxyz"));
    QCOMPARE(key.enumKey(1, &name, 5), ErrorNoMoreItems);
}

void TestRegistry::queryInfoGivesCountsAndMaxima()
{
    TestMachine machine;
    const QString path = User + "Info";
    machine.setText(path, "", "default");
    machine->registry().setValue(path, "LongestName", RegBinary, QByteArray(3, 'x'));
    machine->registry().setValue(path, "B", RegBinary, QByteArray(300, 'x'));
    machine.setDword(path + "\\Sub", "v", 1);
    machine.setDword(path + "\\LongerSub", "v", 1);

    RegistryKeyInfo info;
    QCOMPARE(opened(Hive::CurrentUser, "Software\\Info", KeyRead).queryInfo(&info), ErrorSuccess);
    QCOMPARE(info.subKeyCount, 2u);
    QCOMPARE(info.maxSubKeyNameChars, 9u);
    QCOMPARE(info.valueCount, 3u);
    QCOMPARE(info.maxValueNameChars, 11u);
    QCOMPARE(info.maxValueDataBytes, 300u);
}

void TestRegistry::missingKeysAndValuesAreNotFound()
{
    TestMachine machine;
    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Missing", KeyRead), ErrorFileNotFound);
    QVERIFY(!key.isValid());
    QCOMPARE(key.create(Hive::CurrentUser, "Software\\Present", KeyAllAccess), ErrorSuccess);
    QCOMPARE(key.queryValue("nothing", nullptr, nullptr), ErrorFileNotFound);
    QCOMPARE(key.deleteValue("nothing"), ErrorFileNotFound);
    RegistryKey sub;
    QCOMPARE(key.openSubKey("nothing", KeyRead, sub), ErrorFileNotFound);
    QCOMPARE(key.deleteEmptySubKey("nothing"), ErrorFileNotFound);
    QCOMPARE(key.deleteSubKeyTreeRecursively("nothing"), ErrorFileNotFound);
}

void TestRegistry::accessRightsAreEnforced()
{
    TestMachine machine;
    machine.setDword(User + "Rights\\Sub", "v", 1);
    machine.setDword(User + "Rights", "v", 1);
    RegistryKey readOnly = opened(Hive::CurrentUser, "Software\\Rights", KeyRead);
    QCOMPARE(readOnly.writeDword("v", 2), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteValue("v"), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteEmptySubKey(""), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteSubKeyTreeRecursively(""), ErrorAccessDenied);

    RegistryKey writeOnly = opened(Hive::CurrentUser, "Software\\Rights", KeySetValue);
    quint32 value = 0;
    RegistryKeyInfo info;
    QCOMPARE(writeOnly.readDword("v", &value), ErrorAccessDenied);
    QCOMPARE(writeOnly.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorAccessDenied);
    QCOMPARE(writeOnly.queryInfo(&info), ErrorAccessDenied);
    QCOMPARE(writeOnly.enumKey(0, nullptr, 10), ErrorAccessDenied);
    QCOMPARE(writeOnly.writeDword("v", 2), ErrorSuccess);

    const RegistryKey queryOnly = opened(Hive::CurrentUser, "Software\\Rights", KeyQueryValue);
    QCOMPARE(queryOnly.readDword("v", &value), ErrorSuccess);
    QCOMPARE(value, 2u);
    QCOMPARE(queryOnly.enumKey(0, nullptr, 10), ErrorAccessDenied);
}

void TestRegistry::standardUserCannotWriteLocalMachine()
{
    TestMachine machine;
    machine.setDword("HKEY_LOCAL_MACHINE\\SYSTEM\\Setting", "v", 1);
    RegistryKey heldByAdmin = opened(Hive::LocalMachine, "SYSTEM\\Setting", KeyAllAccess);
    machine->system().administrator = false;

    RegistryKey key;
    QCOMPARE(key.open(Hive::LocalMachine, "SYSTEM\\Setting", KeyRead), ErrorSuccess);
    for (quint32 access : {KeySetValue, KeyCreateSubKey, KeyDelete, KeyWrite, KeyAllAccess}) {
        RegistryKey denied;
        QCOMPARE(denied.open(Hive::LocalMachine, "SYSTEM\\Setting", access), ErrorAccessDenied);
        QCOMPARE(denied.create(Hive::LocalMachine, "SYSTEM\\Setting", access), ErrorAccessDenied);
    }
    QCOMPARE(key.create(Hive::LocalMachine, "SYSTEM\\Setting", KeyRead), ErrorSuccess);
    QCOMPARE(key.create(Hive::LocalMachine, "SYSTEM\\New", KeyRead), ErrorAccessDenied);
    QVERIFY(!machine->registry().hasKey("HKEY_LOCAL_MACHINE\\SYSTEM\\New"));
    QCOMPARE(key.open(Hive::LocalMachine, "SYSTEM", KeyRead), ErrorSuccess);
    QCOMPARE(key.deleteSubKeyTreeRecursively("Setting"), ErrorAccessDenied);
    QCOMPARE(key.deleteEmptySubKey("Setting"), ErrorAccessDenied);

    // A handle keeps the rights it was opened with, as on Windows.
    QCOMPARE(heldByAdmin.writeDword("v", 2), ErrorSuccess);
    QCOMPARE(created(Hive::CurrentUser, "Software\\Mine", KeyWrite).writeDword("v", 1), ErrorSuccess);
}

// A security product's registry filter answers a write in a key it guards
// with success and keeps the key as it was; what Windows itself refuses is
// still refused, and deleting goes through.
void TestRegistry::aRegistryFilterKeepsTheKeysItGuards()
{
    const QString guarded = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    TestMachine machine(QJsonObject{{"registryFilter",
                                     QJsonObject{{"ignoresWritesIn", QJsonArray{"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\"
                                                                                "Windows\\CurrentVersion\\RUN"}}}}});
    machine.setText(User + "Microsoft\\Windows\\CurrentVersion\\Run", "Old", "C:\\old.exe");
    machine.setText(User + "Microsoft\\Windows\\CurrentVersion\\Run", "Gone", "C:\\gone.exe");

    RegistryKey key = opened(Hive::CurrentUser, guarded, KeyQueryValue | KeySetValue);
    QCOMPARE(key.writeText("Old", "C:\\new.exe"), ErrorSuccess);
    QCOMPARE(key.writeText("Added", "C:\\added.exe"), ErrorSuccess);
    QCOMPARE(key.writeText(QString(16384, 'n'), "x"), ErrorInvalidParameter);
    QCOMPARE(opened(Hive::CurrentUser, guarded, KeyQueryValue).writeText("Old", "x"), ErrorAccessDenied);
    QString text;
    QCOMPARE(key.readText("Old", &text), ErrorSuccess);
    QCOMPARE(text, QStringLiteral("C:\\old.exe"));
    QCOMPARE(key.readText("Added", &text), ErrorFileNotFound);
    QCOMPARE(key.deleteValue("Gone"), ErrorSuccess);
    QVERIFY(!machine.hasValue(User + "Microsoft\\Windows\\CurrentVersion\\Run", "Gone"));

    // Its subkeys and every other key are written as always.
    QCOMPARE(created(Hive::CurrentUser, guarded + "\\Sub", KeyWrite).writeText("v", "x"), ErrorSuccess);
    QCOMPARE(created(Hive::CurrentUser, "Software\\Other", KeyWrite).writeText("v", "x"), ErrorSuccess);
    QCOMPARE(machine.text(User + "Microsoft\\Windows\\CurrentVersion\\Run\\Sub", "v"), QStringLiteral("x"));
    QCOMPARE(machine.text(User + "Other", "v"), QStringLiteral("x"));
}

void TestRegistry::deletedKeyAnswersKeyDeleted()
{
    TestMachine machine;
    RegistryKey held = created(Hive::CurrentUser, "Software\\Gone\\Deeper", KeyAllAccess);
    QCOMPARE(held.writeDword("v", 1), ErrorSuccess);
    QCOMPARE(opened(Hive::CurrentUser, "Software", KeyAllAccess).deleteSubKeyTreeRecursively("Gone"), ErrorSuccess);

    quint32 value = 0;
    QCOMPARE(held.readDword("v", &value), ErrorKeyDeleted);
    QCOMPARE(held.writeDword("v", 2), ErrorKeyDeleted);
    RegistryKey sub;
    QCOMPARE(held.openSubKey("", KeyRead, sub), ErrorKeyDeleted);

    // A key of the same name made later is another key.
    const RegistryKey recreated = created(Hive::CurrentUser, "Software\\Gone\\Deeper", KeyAllAccess);
    QCOMPARE(held.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorKeyDeleted);
    QCOMPARE(recreated.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorNoMoreItems);
}

void TestRegistry::deleteEmptySubKeyRefusesKeysWithSubKeys()
{
    TestMachine machine;
    machine.setDword(User + "Parent\\Child", "v", 1);
    RegistryKey software = opened(Hive::CurrentUser, "Software", KeyRead);
    QCOMPARE(software.deleteEmptySubKey("Parent"), ErrorAccessDenied);
    QCOMPARE(software.deleteEmptySubKey("parent\\CHILD"), ErrorSuccess);
    QCOMPARE(software.deleteEmptySubKey("Parent"), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey(User + "Parent"));

    RegistryKey self = created(Hive::CurrentUser, "Software\\Self", KeyAllAccess);
    QCOMPARE(self.deleteEmptySubKey(""), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey(User + "Self"));
    QCOMPARE(self.writeDword("v", 1), ErrorKeyDeleted);
}

void TestRegistry::deleteTreeRemovesEverythingBelow()
{
    TestMachine machine;
    const QString path = User + "Tree";
    machine.setDword(path, "top", 1);
    machine.setDword(path + "\\a\\b\\c", "deep", 2);
    machine.setDword(path + "\\d", "side", 3);

    RegistryKey tree = opened(Hive::CurrentUser, "Software\\Tree", KeyAllAccess);
    QCOMPARE(tree.deleteSubKeyTreeRecursively("a"), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey(path + "\\a"));
    QVERIFY(machine->registry().hasKey(path + "\\d"));

    // An empty name empties the key itself and keeps it.
    QCOMPARE(tree.deleteSubKeyTreeRecursively(""), ErrorSuccess);
    QVERIFY(machine->registry().hasKey(path));
    QVERIFY(!machine->registry().hasKey(path + "\\d"));
    QVERIFY(!machine->registry().value(path, "top", nullptr, nullptr));
    QCOMPARE(tree.writeDword("again", 1), ErrorSuccess);
}

void TestRegistry::subKeyPathsAcceptSurroundingBackslashes()
{
    TestMachine machine;
    machine.setDword(User + "Path", "v", 7);
    for (const QString& path : QStringList{"\\Software\\Path", "Software\\Path\\", "Software\\Path"}) {
        RegistryKey same;
        quint32 value = 0;
        QCOMPARE(opened(Hive::CurrentUser, path, KeyRead).openSubKey("", KeyRead, same), ErrorSuccess);
        QCOMPARE(same.readDword("v", &value), ErrorSuccess);
        QCOMPARE(value, 7u);
    }
}

void TestRegistry::readTextUsesTheByteCountAndCutsAtNul()
{
    TestMachine machine;
    const QString path = User + "Text";
    const QByteArray unterminated = registryTextData("abc").left(6);
    machine->registry().setValue(path, "unterminated", RegSz, unterminated);
    machine->registry().setValue(path, "odd", RegSz, unterminated + 'x');
    machine->registry().setValue(path, "inner", RegExpandSz, registryTextData("ab") + registryTextData("cd"));
    machine->registry().setValue(path, "empty", RegSz, QByteArray());

    const RegistryKey key = opened(Hive::CurrentUser, "Software\\Text", KeyRead);
    QString text;
    quint32 type = 0;
    QCOMPARE(key.readText("unterminated", &text), ErrorSuccess);
    QCOMPARE(text, QString("abc"));
    QCOMPARE(key.readText("odd", &text), ErrorSuccess);
    QCOMPARE(text, QString("abc"));
    QCOMPARE(key.readText("inner", &text, RegistryKey::UnlimitedBuffer, &type), ErrorSuccess);
    QCOMPARE(text, QString("ab"));
    QCOMPARE(type, quint32(RegExpandSz));
    QCOMPARE(key.readText("empty", &text), ErrorSuccess);
    QCOMPARE(text, QString());
    text = "untouched";
    QCOMPARE(key.readText("inner", &text, 4), ErrorMoreData);
    QCOMPARE(text, QString("untouched"));
}

void TestRegistry::readDwordRequiresFourByteDword()
{
    TestMachine machine;
    const QString path = User + "Dword";
    machine.setDword(path, "good", 0xA1B2C3D4);
    machine->registry().setValue(path, "short", RegDword, QByteArray(3, '\1'));
    machine->registry().setValue(path, "long", RegDword, QByteArray(8, '\1'));
    machine.setText(path, "text", "1");

    const RegistryKey key = opened(Hive::CurrentUser, "Software\\Dword", KeyRead);
    quint32 value = 5;
    QCOMPARE(key.readDword("short", &value), ErrorInvalidData);
    QCOMPARE(key.readDword("long", &value), ErrorMoreData);
    QCOMPARE(key.readDword("text", &value), ErrorInvalidData);
    QCOMPARE(value, 5u);
    QCOMPARE(key.readDword("good", &value), ErrorSuccess);
    QCOMPARE(value, 0xA1B2C3D4u);
    QCOMPARE(storedData(machine, path, "good"), QByteArray("\xD4\xC3\xB2\xA1", 4));
}

void TestRegistry::writeTextStoresTheTerminator()
{
    TestMachine machine;
    RegistryKey key = created(Hive::CurrentUser, "Software\\Write", KeyWrite);
    QCOMPARE(key.writeText("zero", "0"), ErrorSuccess);
    QCOMPARE(key.writeText("path", "%TEMP%", RegExpandSz), ErrorSuccess);
    QCOMPARE(key.setValue("raw", RegSz, QByteArray("0\0", 2)), ErrorSuccess);
    quint32 type = 0;
    QByteArray data;
    QCOMPARE(storedData(machine, User + "Write", "zero"), QByteArray("0\0\0\0", 4));
    QVERIFY(machine->registry().value(User + "Write", "path", &type, &data));
    QCOMPARE(type, quint32(RegExpandSz));
    QCOMPARE(data.size(), 14);
    QCOMPARE(storedData(machine, User + "Write", "raw"), QByteArray("0\0", 2));
}

void TestRegistry::iteratorsPassOverOversizedEntries()
{
    TestMachine machine;
    const QString path = User + "Iterate";
    machine.setText(path, "first", "1");
    machine->registry().setValue(path, "huge", RegBinary, QByteArray(5000, 'x'));
    machine.setText(path, QString(40, 'n'), "long name");
    machine.setText(path, "last", "%X%", RegExpandSz);
    for (const QString& name : QStringList{"Alpha", QString(40, 'k'), "Omega"})
        machine->registry().setValue(path + "\\" + name, "", RegNone, QByteArray());

    const RegistryKey key = opened(Hive::CurrentUser, "Software\\Iterate", KeyRead);
    QStringList seen;
    for (RegistryValueIterator it(key, 32, 4096); it.next();) {
        QVERIFY(it.isText());
        seen << it.name() + "=" + it.text();
    }
    QCOMPARE(seen, (QStringList{"first=1", "last=%X%"}));
    QStringList keys;
    for (RegistryKeyIterator it(key, 32); it.next();)
        keys << it.name();
    QCOMPARE(keys, (QStringList{"Alpha", "Omega"}));

    RegistryKey closed;
    RegistryValueIterator none(closed, 32, 4096);
    QVERIFY(!none.next());
}

void TestRegistry::handlesCloseWithTheirKeys()
{
    TestMachine machine;
    const int before = machine->openHandleCount();
    {
        RegistryKey a = created(Hive::CurrentUser, "Software\\Handles", KeyAllAccess);
        RegistryKey b;
        QCOMPARE(a.openSubKey("", KeyRead, b), ErrorSuccess);
        QCOMPARE(machine->registry().openHandleCount(), 2);
        RegistryKey moved(std::move(b));
        QVERIFY(!b.isValid());
        QVERIFY(moved.isValid());
        a = std::move(moved);
        QCOMPARE(machine->registry().openHandleCount(), 1);
        QCOMPARE(a.open(Hive::CurrentUser, "Software", KeyRead), ErrorSuccess);
        QCOMPARE(machine->registry().openHandleCount(), 1);
        QCOMPARE(a.open(Hive::CurrentUser, "Software\\Missing", KeyRead), ErrorFileNotFound);
        QCOMPARE(machine->registry().openHandleCount(), 0);
        QCOMPARE(a.create(Hive::CurrentUser, "Software\\Handles", KeyRead), ErrorSuccess);
    }
    QCOMPARE(machine->registry().openHandleCount(), 0);
    QCOMPARE(machine->openHandleCount(), before);
}

void TestRegistry::withoutMachineEveryCallFails()
{
    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software", KeyRead), ErrorInvalidHandle);
    QCOMPARE(key.create(Hive::CurrentUser, "Software", KeyRead), ErrorInvalidHandle);
    QCOMPARE(key.queryValue("v", nullptr, nullptr), ErrorInvalidHandle);
    QCOMPARE(key.writeDword("v", 1), ErrorInvalidHandle);
    QCOMPARE(key.enumKey(0, nullptr, 10), ErrorInvalidHandle);
    RegistryKeyInfo info;
    QCOMPARE(key.queryInfo(&info), ErrorInvalidHandle);
    {
        TestMachine machine;
        QCOMPARE(key.open(Hive::CurrentUser, "", KeyRead), ErrorSuccess);
    }
    // The machine went away with the handle still open.
    QCOMPARE(key.enumKey(0, nullptr, 10), ErrorInvalidHandle);
    key.close();
    QVERIFY(!key.isValid());
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
