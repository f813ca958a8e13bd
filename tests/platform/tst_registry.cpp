#include "platform/RegistryIterators.h"
#include "platform/RegistryKey.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;

namespace {

const QString Native = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro");
const QString Redirected = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tessaro");

QJsonObject systemWithArchitecture(const QString& architecture)
{
    QJsonObject system = TestMachine::defaultMachineJson().value(QStringLiteral("system")).toObject();
    system.insert(QStringLiteral("architecture"), architecture);
    return QJsonObject{{QStringLiteral("system"), system}};
}

QByteArray storedData(TestMachine& machine, const QString& keyPath, const QString& name)
{
    QByteArray data;
    machine->registry().value(keyPath, name, nullptr, &data);
    return data;
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

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void defaultViewOfA64BitMachineIsRedirected();
    void literalWow6432NodePathIsNotDoubled();
    void sharedBranchesAreNotRedirected();
    void keysOpenedBelowAKeyKeepItsView();
    void viewsAreIgnoredOnA32BitMachine();
    void bothViewFlagsAreRefused();
    void namesAreCaseInsensitiveAndCasePreserving();
    void subKeysEnumerateInUpperCaseOrderAndValuesInCreationOrder();
    void queryValueAnswersMoreDataWithTheRequiredSize();
    void enumerationChecksNameAndDataBuffers();
    void missingKeysAndValuesAreNotFound();
    void accessRightsAreEnforced();
    void standardUserCannotWriteLocalMachine();
    void deletedKeyAnswersKeyDeleted();
    void deleteEmptySubKeyRefusesKeysWithSubKeys();
    void deleteTreeRemovesEverythingBelow();
    void queryInfoGivesCountsAndMaxima();
    void subKeyPathsAcceptSurroundingBackslashes();
    void readTextUsesTheByteCountAndCutsAtNul();
    void readDwordRequiresFourByteDword();
    void writeTextStoresTheTerminator();
    void iteratorsPassOverOversizedEntries();
    void handlesCloseWithTheirKeys();
    void withoutMachineEveryCallFails();
};

void TestRegistry::defaultViewOfA64BitMachineIsRedirected()
{
    TestMachine machine;
    RegistryKey key;
    QCOMPARE(key.create(Hive::LocalMachine, "SOFTWARE\\Tessaro", KeyRead | KeyWrite), ErrorSuccess);
    QCOMPARE(key.writeDword("Mode", 32), ErrorSuccess);
    QCOMPARE(storedData(machine, Redirected, "Mode"), registryDwordData(32));
    QVERIFY(!machine->registry().hasKey(Native));

    RegistryKey native;
    QCOMPARE(native.create(Hive::LocalMachine, "SOFTWARE\\Tessaro", KeyAllAccess | KeyWow64_64Key), ErrorSuccess);
    QCOMPARE(native.writeDword("Mode", 64), ErrorSuccess);
    QCOMPARE(storedData(machine, Native, "Mode"), registryDwordData(64));

    RegistryKey forced;
    quint32 mode = 0;
    QCOMPARE(forced.open(Hive::LocalMachine, "SOFTWARE\\Tessaro", KeyRead | KeyWow64_32Key), ErrorSuccess);
    QCOMPARE(forced.readDword("Mode", &mode), ErrorSuccess);
    QCOMPARE(mode, 32u);
}

void TestRegistry::literalWow6432NodePathIsNotDoubled()
{
    TestMachine machine;
    machine->registry().setValue(Redirected, "Mode", RegDword, registryDwordData(32));
    for (quint32 view : {0u, quint32(KeyWow64_32Key), quint32(KeyWow64_64Key)}) {
        RegistryKey key;
        quint32 mode = 0;
        QCOMPARE(key.open(Hive::LocalMachine, "Software\\Wow6432Node\\Tessaro", KeyRead | view), ErrorSuccess);
        QCOMPARE(key.readDword("Mode", &mode), ErrorSuccess);
        QCOMPARE(mode, 32u);
    }
    QVERIFY(!machine->registry().hasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\WOW6432Node"));
}

void TestRegistry::sharedBranchesAreNotRedirected()
{
    TestMachine machine;
    RegistryKey user;
    QCOMPARE(user.create(Hive::CurrentUser, "Software\\Tessaro", KeyWrite), ErrorSuccess);
    QCOMPARE(user.writeDword("A", 1), ErrorSuccess);
    RegistryKey system;
    QCOMPARE(system.create(Hive::LocalMachine, "SYSTEM\\Tessaro", KeyWrite), ErrorSuccess);
    QCOMPARE(system.writeDword("B", 2), ErrorSuccess);
    QCOMPARE(storedData(machine, "HKEY_CURRENT_USER\\Software\\Tessaro", "A"), registryDwordData(1));
    QCOMPARE(storedData(machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\Tessaro", "B"), registryDwordData(2));

    // Policies live once for both views, even below HKLM\SOFTWARE.
    RegistryKey policy;
    QCOMPARE(policy.create(Hive::LocalMachine, "SOFTWARE\\Policies\\Google\\Chrome", KeyWrite), ErrorSuccess);
    QCOMPARE(policy.writeDword("C", 3), ErrorSuccess);
    QCOMPARE(storedData(machine, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Google\\Chrome", "C"), registryDwordData(3));
    RegistryKey explorerPolicy;
    QCOMPARE(explorerPolicy.create(Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
                                   KeyWrite), ErrorSuccess);
    QCOMPARE(explorerPolicy.writeDword("D", 4), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies"));
    // A key merely beginning like a shared one is still redirected.
    RegistryKey lookalike;
    QCOMPARE(lookalike.create(Hive::LocalMachine, "SOFTWARE\\PoliciesBackup", KeyWrite), ErrorSuccess);
    QVERIFY(machine->registry().hasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\PoliciesBackup"));
}

void TestRegistry::keysOpenedBelowAKeyKeepItsView()
{
    TestMachine machine;
    machine->registry().setValue(Native, "Bits", RegDword, registryDwordData(64));
    machine->registry().setValue(Redirected, "Bits", RegDword, registryDwordData(32));
    machine->registry().setValue(Native + "\\Only64", "", RegSz, registryTextData("x"));
    machine->registry().setValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\NativeOnly", "", RegSz, registryTextData("x"));

    RegistryKey software;
    QCOMPARE(software.open(Hive::LocalMachine, "SOFTWARE", KeyRead), ErrorSuccess);
    const QStringList names = subKeyNames(software);
    QVERIFY(names.contains("Tessaro"));
    QVERIFY(!names.contains("NativeOnly"));
    QVERIFY(!names.contains("WOW6432Node"));
    RegistryKey below;
    quint32 bits = 0;
    QCOMPARE(software.openSubKey("Tessaro", KeyRead, below), ErrorSuccess);
    QCOMPARE(below.readDword("Bits", &bits), ErrorSuccess);
    QCOMPARE(bits, 32u);

    RegistryKey root;
    QCOMPARE(root.open(Hive::LocalMachine, "", KeyRead | KeyWow64_64Key), ErrorSuccess);
    QCOMPARE(root.openSubKey("SOFTWARE\\Tessaro", KeyRead, below), ErrorSuccess);
    QCOMPARE(below.readDword("Bits", &bits), ErrorSuccess);
    QCOMPARE(bits, 64u);
    QCOMPARE(subKeyNames(below), QStringList{"Only64"});
    QCOMPARE(below.openSubKey("Only64", KeyRead, below), ErrorSuccess);
    QVERIFY(below.isValid());
}

void TestRegistry::viewsAreIgnoredOnA32BitMachine()
{
    TestMachine machine(systemWithArchitecture("x86"));
    QVERIFY(machine.loaded());
    QVERIFY(!machine->registry().native64Bit());
    for (quint32 view : {0u, quint32(KeyWow64_32Key), quint32(KeyWow64_64Key)}) {
        RegistryKey key;
        QCOMPARE(key.create(Hive::LocalMachine, "SOFTWARE\\Tessaro", KeyWrite | view), ErrorSuccess);
        QCOMPARE(key.writeDword("View", view), ErrorSuccess);
        QCOMPARE(storedData(machine, Native, "View"), registryDwordData(view));
    }
    QVERIFY(!machine->registry().hasKey(Redirected));
}

void TestRegistry::bothViewFlagsAreRefused()
{
    TestMachine machine;
    RegistryKey key;
    QCOMPARE(key.create(Hive::CurrentUser, "Software", KeyRead | KeyWow64_32Key | KeyWow64_64Key),
             ErrorInvalidParameter);
    QVERIFY(!key.isValid());
}

void TestRegistry::namesAreCaseInsensitiveAndCasePreserving()
{
    TestMachine machine;
    RegistryKey key;
    QCOMPARE(key.create(Hive::CurrentUser, "Software\\MixedCase", KeyAllAccess), ErrorSuccess);
    QCOMPARE(key.writeText("ValueName", "first"), ErrorSuccess);
    QCOMPARE(key.writeText("VALUENAME", "second"), ErrorSuccess);

    RegistryKey again;
    QString text;
    QCOMPARE(again.open(Hive::CurrentUser, "SOFTWARE\\mixedcase", KeyRead), ErrorSuccess);
    QCOMPARE(again.readText("valuename", &text), ErrorSuccess);
    QCOMPARE(text, QString("second"));
    QCOMPARE(valueNames(again), QStringList{"ValueName"});

    RegistryKey software;
    QCOMPARE(software.open(Hive::CurrentUser, "software", KeyRead), ErrorSuccess);
    QCOMPARE(subKeyNames(software), QStringList{"MixedCase"});
}

void TestRegistry::subKeysEnumerateInUpperCaseOrderAndValuesInCreationOrder()
{
    TestMachine machine;
    RegistryKey key;
    QCOMPARE(key.create(Hive::CurrentUser, "Software\\Order", KeyAllAccess), ErrorSuccess);
    for (const QString& name : QStringList{"b", "_under", "A", "c10", "C2"}) {
        RegistryKey sub;
        QCOMPARE(sub.create(Hive::CurrentUser, "Software\\Order\\" + name, KeyRead), ErrorSuccess);
    }
    // Upper-cased, '_' (0x5F) sorts after the letters, unlike a lower-casing comparison.
    QCOMPARE(subKeyNames(key), (QStringList{"A", "b", "c10", "C2", "_under"}));

    for (const QString& name : QStringList{"zeta", "Alpha", "", "mid"})
        QCOMPARE(key.writeDword(name, 1), ErrorSuccess);
    QCOMPARE(key.writeDword("ALPHA", 2), ErrorSuccess);
    QCOMPARE(key.deleteValue("zeta"), ErrorSuccess);
    QCOMPARE(key.writeDword("Zeta", 3), ErrorSuccess);
    QCOMPARE(valueNames(key), (QStringList{"Alpha", "", "mid", "Zeta"}));
}

void TestRegistry::queryValueAnswersMoreDataWithTheRequiredSize()
{
    TestMachine machine;
    machine->registry().setValue("HKEY_CURRENT_USER\\Software\\Sizes", "Text", RegSz, registryTextData("abc"));
    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Sizes", KeyRead), ErrorSuccess);

    quint32 type = 99;
    QByteArray data("untouched");
    quint32 required = 0;
    QCOMPARE(key.queryValue("Text", &type, &data, 7, &required), ErrorMoreData);
    QCOMPARE(required, 8u);
    QCOMPARE(type, 99u);
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
    const QString path = "HKEY_CURRENT_USER\\Software\\Enum";
    machine->registry().setValue(path, "abcd", RegBinary, QByteArray(10, 'x'));
    machine->registry().setValue(path + "\\wxyz", "", RegNone, QByteArray());
    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Enum", KeyRead), ErrorSuccess);

    QString name = "untouched";
    quint32 type = 0;
    QByteArray data;
    QCOMPARE(key.enumValue(0, &name, 4, &type, &data, 10), ErrorMoreData);
    QCOMPARE(name, QString("untouched"));
    QCOMPARE(key.enumValue(0, &name, 5, &type, &data, 9), ErrorMoreData);
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
    machine->registry().setValue("HKEY_CURRENT_USER\\Software\\Rights\\Sub", "v", RegDword, registryDwordData(1));
    machine->registry().setValue("HKEY_CURRENT_USER\\Software\\Rights", "v", RegDword, registryDwordData(1));
    RegistryKey readOnly;
    QCOMPARE(readOnly.open(Hive::CurrentUser, "Software\\Rights", KeyRead), ErrorSuccess);
    QCOMPARE(readOnly.writeDword("v", 2), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteValue("v"), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteEmptySubKey(""), ErrorAccessDenied);
    QCOMPARE(readOnly.deleteSubKeyTreeRecursively(""), ErrorAccessDenied);

    RegistryKey writeOnly;
    QCOMPARE(writeOnly.open(Hive::CurrentUser, "Software\\Rights", KeySetValue), ErrorSuccess);
    quint32 value = 0;
    RegistryKeyInfo info;
    QCOMPARE(writeOnly.readDword("v", &value), ErrorAccessDenied);
    QCOMPARE(writeOnly.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorAccessDenied);
    QCOMPARE(writeOnly.queryInfo(&info), ErrorAccessDenied);
    QCOMPARE(writeOnly.enumKey(0, nullptr, 10), ErrorAccessDenied);
    QCOMPARE(writeOnly.writeDword("v", 2), ErrorSuccess);

    RegistryKey queryOnly;
    QCOMPARE(queryOnly.open(Hive::CurrentUser, "Software\\Rights", KeyQueryValue), ErrorSuccess);
    QCOMPARE(queryOnly.readDword("v", &value), ErrorSuccess);
    QCOMPARE(value, 2u);
    QCOMPARE(queryOnly.enumKey(0, nullptr, 10), ErrorAccessDenied);
}

void TestRegistry::standardUserCannotWriteLocalMachine()
{
    TestMachine machine;
    machine->registry().setValue("HKEY_LOCAL_MACHINE\\SYSTEM\\Setting", "v", RegDword, registryDwordData(1));
    RegistryKey heldByAdmin;
    QCOMPARE(heldByAdmin.open(Hive::LocalMachine, "SYSTEM\\Setting", KeyAllAccess), ErrorSuccess);
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
    RegistryKey user;
    QCOMPARE(user.create(Hive::CurrentUser, "Software\\Mine", KeyWrite), ErrorSuccess);
    QCOMPARE(user.writeDword("v", 1), ErrorSuccess);
}

void TestRegistry::deletedKeyAnswersKeyDeleted()
{
    TestMachine machine;
    RegistryKey held;
    QCOMPARE(held.create(Hive::CurrentUser, "Software\\Gone\\Deeper", KeyAllAccess), ErrorSuccess);
    QCOMPARE(held.writeDword("v", 1), ErrorSuccess);
    RegistryKey parent;
    QCOMPARE(parent.open(Hive::CurrentUser, "Software", KeyAllAccess), ErrorSuccess);
    QCOMPARE(parent.deleteSubKeyTreeRecursively("Gone"), ErrorSuccess);

    quint32 value = 0;
    QCOMPARE(held.readDword("v", &value), ErrorKeyDeleted);
    QCOMPARE(held.writeDword("v", 2), ErrorKeyDeleted);
    RegistryKey sub;
    QCOMPARE(held.openSubKey("", KeyRead, sub), ErrorKeyDeleted);

    // A key of the same name made later is another key.
    RegistryKey recreated;
    QCOMPARE(recreated.create(Hive::CurrentUser, "Software\\Gone\\Deeper", KeyAllAccess), ErrorSuccess);
    QCOMPARE(held.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorKeyDeleted);
    QCOMPARE(recreated.enumValue(0, nullptr, 10, nullptr, nullptr, 0), ErrorNoMoreItems);
}

void TestRegistry::deleteEmptySubKeyRefusesKeysWithSubKeys()
{
    TestMachine machine;
    machine->registry().setValue("HKEY_CURRENT_USER\\Software\\Parent\\Child", "v", RegDword, registryDwordData(1));
    RegistryKey software;
    QCOMPARE(software.open(Hive::CurrentUser, "Software", KeyRead), ErrorSuccess);
    QCOMPARE(software.deleteEmptySubKey("Parent"), ErrorAccessDenied);
    QCOMPARE(software.deleteEmptySubKey("parent\\CHILD"), ErrorSuccess);
    QCOMPARE(software.deleteEmptySubKey("Parent"), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey("HKEY_CURRENT_USER\\Software\\Parent"));

    RegistryKey self;
    QCOMPARE(self.create(Hive::CurrentUser, "Software\\Self", KeyAllAccess), ErrorSuccess);
    QCOMPARE(self.deleteEmptySubKey(""), ErrorSuccess);
    QVERIFY(!machine->registry().hasKey("HKEY_CURRENT_USER\\Software\\Self"));
    QCOMPARE(self.writeDword("v", 1), ErrorKeyDeleted);
}

void TestRegistry::deleteTreeRemovesEverythingBelow()
{
    TestMachine machine;
    const QString path = "HKEY_CURRENT_USER\\Software\\Tree";
    machine->registry().setValue(path, "top", RegDword, registryDwordData(1));
    machine->registry().setValue(path + "\\a\\b\\c", "deep", RegDword, registryDwordData(2));
    machine->registry().setValue(path + "\\d", "side", RegDword, registryDwordData(3));

    RegistryKey tree;
    QCOMPARE(tree.open(Hive::CurrentUser, "Software\\Tree", KeyAllAccess), ErrorSuccess);
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

void TestRegistry::queryInfoGivesCountsAndMaxima()
{
    TestMachine machine;
    const QString path = "HKEY_CURRENT_USER\\Software\\Info";
    machine->registry().setValue(path, "", RegSz, registryTextData("default"));
    machine->registry().setValue(path, "LongestName", RegBinary, QByteArray(3, 'x'));
    machine->registry().setValue(path, "B", RegBinary, QByteArray(300, 'x'));
    machine->registry().setValue(path + "\\Sub", "v", RegNone, QByteArray());
    machine->registry().setValue(path + "\\LongerSub", "v", RegNone, QByteArray());

    RegistryKey key;
    RegistryKeyInfo info;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Info", KeyRead), ErrorSuccess);
    QCOMPARE(key.queryInfo(&info), ErrorSuccess);
    QCOMPARE(info.subKeyCount, 2u);
    QCOMPARE(info.maxSubKeyNameChars, 9u);
    QCOMPARE(info.valueCount, 3u);
    QCOMPARE(info.maxValueNameChars, 11u);
    QCOMPARE(info.maxValueDataBytes, 300u);
}

void TestRegistry::subKeyPathsAcceptSurroundingBackslashes()
{
    TestMachine machine;
    machine->registry().setValue("HKEY_CURRENT_USER\\Software\\Path", "v", RegDword, registryDwordData(7));
    for (const QString& path : QStringList{"\\Software\\Path", "Software\\Path\\", "Software\\Path"}) {
        RegistryKey key;
        QCOMPARE(key.open(Hive::CurrentUser, path, KeyRead), ErrorSuccess);
        RegistryKey same;
        quint32 value = 0;
        QCOMPARE(key.openSubKey("", KeyRead, same), ErrorSuccess);
        QCOMPARE(same.readDword("v", &value), ErrorSuccess);
        QCOMPARE(value, 7u);
    }
}

void TestRegistry::readTextUsesTheByteCountAndCutsAtNul()
{
    TestMachine machine;
    const QString path = "HKEY_CURRENT_USER\\Software\\Text";
    const QByteArray unterminated = registryTextData("abc").left(6);
    machine->registry().setValue(path, "unterminated", RegSz, unterminated);
    machine->registry().setValue(path, "odd", RegSz, unterminated + 'x');
    machine->registry().setValue(path, "inner", RegExpandSz, registryTextData("ab") + registryTextData("cd"));
    machine->registry().setValue(path, "empty", RegSz, QByteArray());

    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Text", KeyRead), ErrorSuccess);
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
    const QString path = "HKEY_CURRENT_USER\\Software\\Dword";
    machine->registry().setValue(path, "good", RegDword, registryDwordData(0xA1B2C3D4));
    machine->registry().setValue(path, "short", RegDword, QByteArray(3, '\1'));
    machine->registry().setValue(path, "long", RegDword, QByteArray(8, '\1'));
    machine->registry().setValue(path, "text", RegSz, registryTextData("1"));

    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Dword", KeyRead), ErrorSuccess);
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
    RegistryKey key;
    QCOMPARE(key.create(Hive::CurrentUser, "Software\\Write", KeyWrite), ErrorSuccess);
    QCOMPARE(key.writeText("zero", "0"), ErrorSuccess);
    QCOMPARE(key.writeText("path", "%TEMP%", RegExpandSz), ErrorSuccess);
    QCOMPARE(key.setValue("raw", RegSz, QByteArray("0\0", 2)), ErrorSuccess);
    quint32 type = 0;
    QByteArray data;
    QVERIFY(machine->registry().value("HKEY_CURRENT_USER\\Software\\Write", "zero", &type, &data));
    QCOMPARE(data, QByteArray("0\0\0\0", 4));
    QVERIFY(machine->registry().value("HKEY_CURRENT_USER\\Software\\Write", "path", &type, &data));
    QCOMPARE(type, quint32(RegExpandSz));
    QCOMPARE(data.size(), 14);
    QCOMPARE(storedData(machine, "HKEY_CURRENT_USER\\Software\\Write", "raw"), QByteArray("0\0", 2));
}

void TestRegistry::iteratorsPassOverOversizedEntries()
{
    TestMachine machine;
    const QString path = "HKEY_CURRENT_USER\\Software\\Iterate";
    machine->registry().setValue(path, "first", RegSz, registryTextData("1"));
    machine->registry().setValue(path, "huge", RegBinary, QByteArray(5000, 'x'));
    machine->registry().setValue(path, QString(40, 'n'), RegSz, registryTextData("long name"));
    machine->registry().setValue(path, "last", RegExpandSz, registryTextData("%X%"));
    for (const QString& name : QStringList{"Alpha", QString(40, 'k'), "Omega"})
        machine->registry().setValue(path + "\\" + name, "", RegNone, QByteArray());

    RegistryKey key;
    QCOMPARE(key.open(Hive::CurrentUser, "Software\\Iterate", KeyRead), ErrorSuccess);
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
        RegistryKey a;
        QCOMPARE(a.create(Hive::CurrentUser, "Software\\Handles", KeyAllAccess), ErrorSuccess);
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
