#include "platform/RegistryKey.h"
#include "platform/RegistrySettings.h"
#include "tests/support/TestMachine.h"

#include <QtTest>

using namespace win;

namespace {

const QString UserRoot = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tessaro");

struct Stored
{
    quint32 type = 0xFFFF;
    QByteArray data;
};

Stored stored(TestMachine& machine, const QString& keyPath, const QString& name)
{
    Stored result;
    machine->registry().value(keyPath, name, &result.type, &result.data);
    return result;
}

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestRegistrySettings : public QObject
{
    Q_OBJECT

private slots:
    void valuesAreStoredAsQSettingsStoresThem_data();
    void valuesAreStoredAsQSettingsStoresThem();
    void registryTypesReadBackAsQSettingsReadsThem_data();
    void registryTypesReadBackAsQSettingsReadsThem();
    void missingValuesGiveTheDefault();
    void keysUseBothSeparatorsAndDefaultAliases();
    void childKeysGroupsAndAllKeys();
    void removeTakesTheValueAndTheGroupOfThatName();
    void viewsSelectTheRegistryBranch();
    void refusedWritesSetAccessError();
    void rootPathsWithoutHiveAreBelowLocalMachine();
};

void TestRegistrySettings::valuesAreStoredAsQSettingsStoresThem_data()
{
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariant>("read");
    const QString nul = QString::fromLatin1("a\0b", 3);
    const QByteArray binary("a\0\xff", 3);
    QTest::newRow("int") << QVariant(-2) << quint32(RegDword) << registryDwordData(0xFFFFFFFEu) << QVariant(-2);
    QTest::newRow("uint") << QVariant(4000000000u) << quint32(RegDword) << registryDwordData(4000000000u)
                          << QVariant(int(4000000000u));
    QTest::newRow("long") << QVariant(qlonglong(1) << 40) << quint32(RegQword) << registryQwordData(quint64(1) << 40)
                          << QVariant(qlonglong(1) << 40);
    QTest::newRow("ulong") << QVariant(qulonglong(7)) << quint32(RegQword) << registryQwordData(7) << QVariant(qlonglong(7));
    QTest::newRow("text") << QVariant("0") << quint32(RegSz) << QByteArray("0\0\0\0", 4) << QVariant("0");
    QTest::newRow("bool") << QVariant(true) << quint32(RegSz) << registryTextData("true") << QVariant("true");
    QTest::newRow("real") << QVariant(1.5) << quint32(RegSz) << registryTextData("1.5") << QVariant("1.5");
    QTest::newRow("leading @") << QVariant("@home") << quint32(RegSz) << registryTextData("@@home") << QVariant("@home");
    QTest::newRow("text with NUL") << QVariant(nul) << quint32(RegBinary)
                                   << utf16(QString::fromLatin1("@String(a\0b)", 12)) << QVariant(nul);
    QTest::newRow("list") << QVariant(QStringList{"a", "bc"}) << quint32(RegMultiSz)
                          << QByteArray("a\0\0\0b\0c\0\0\0\0\0", 12) << QVariant(QStringList{"a", "bc"});
    QTest::newRow("empty list") << QVariant(QStringList()) << quint32(RegMultiSz) << QByteArray(2, '\0')
                                << QVariant(QStringList());
    // A multi-string cannot hold an empty entry: the list is kept as a variant.
    QTest::newRow("list with an empty entry") << QVariant(QStringList{"a", "", "c"}) << quint32(RegBinary) << QByteArray()
                                              << QVariant(QStringList{"a", "", "c"});
    QTest::newRow("bytes") << QVariant(QByteArray("abc")) << quint32(RegSz) << registryTextData("@ByteArray(abc)")
                           << QVariant(QByteArray("abc"));
    QTest::newRow("binary bytes") << QVariant(binary) << quint32(RegBinary)
                                  << utf16(QLatin1String("@ByteArray(a\0\xff)", 15)) << QVariant(binary);
}

void TestRegistrySettings::valuesAreStoredAsQSettingsStoresThem()
{
    QFETCH(QVariant, written);
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QVariant, read);
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("Value", written);
    QCOMPARE(settings.status(), RegistrySettings::NoError);
    const Stored value = stored(machine, UserRoot, "Value");
    QCOMPARE(value.type, type);
    if (data.isEmpty())
        QVERIFY(value.data.startsWith(utf16("@Variant(")));
    else
        QCOMPARE(value.data, data);
    QCOMPARE(settings.value("Value"), read);
}

void TestRegistrySettings::registryTypesReadBackAsQSettingsReadsThem_data()
{
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVariant>("read");
    QTest::newRow("dword") << quint32(RegDword) << registryDwordData(42) << QVariant(42);
    QTest::newRow("qword") << quint32(RegQword) << registryQwordData(quint64(5) << 33) << QVariant(qlonglong(5) << 33);
    QTest::newRow("expandable") << quint32(RegExpandSz) << registryTextData("%SystemRoot%\\x")
                                << QVariant("%SystemRoot%\\x");
    QTest::newRow("multi") << quint32(RegMultiSz) << registryMultiTextData({"one", "two"})
                           << QVariant(QStringList{"one", "two"});
    QTest::newRow("binary as text") << quint32(RegBinary) << QByteArray("h\0i\0", 4) << QVariant("hi");
    QTest::newRow("unterminated") << quint32(RegSz) << QByteArray("o\0k\0", 4) << QVariant("ok");
    // QSettings knows no REG_NONE: the value exists but reads as invalid.
    QTest::newRow("none") << quint32(RegNone) << QByteArray("x", 1) << QVariant();
}

void TestRegistrySettings::registryTypesReadBackAsQSettingsReadsThem()
{
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QVariant, read);
    TestMachine machine;
    machine->registry().setValue(UserRoot, "Value", type, data);
    RegistrySettings settings(UserRoot);
    QVERIFY(settings.contains("Value"));
    QCOMPARE(settings.value("Value", 7), read);
    QCOMPARE(settings.value("Value").userType(), read.userType());
}

void TestRegistrySettings::missingValuesGiveTheDefault()
{
    TestMachine machine;
    machine->registry().setValue(UserRoot, "Present", RegDword, registryDwordData(1));
    RegistrySettings settings(UserRoot);
    QCOMPARE(settings.value("Absent", 9), QVariant(9));
    QCOMPARE(settings.value("NoSuchKey/Absent", "d"), QVariant("d"));
    QVERIFY(!settings.value("Absent").isValid());
    QVERIFY(settings.contains("present"));
    QVERIFY(!settings.contains("Absent"));

    RegistrySettings missingRoot("HKEY_CURRENT_USER\\Software\\Nowhere");
    QCOMPARE(missingRoot.value("x", 3), QVariant(3));
    QCOMPARE(missingRoot.childKeys(), QStringList());
    QCOMPARE(missingRoot.status(), RegistrySettings::NoError);
}

void TestRegistrySettings::keysUseBothSeparatorsAndDefaultAliases()
{
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("Group/Sub/Value", 1);
    settings.setValue("Group\\Sub\\Other", 2);
    settings.setValue("Group/Default", QStringLiteral("via Default"));
    QCOMPARE(stored(machine, UserRoot + "\\Group\\Sub", "Value").data, registryDwordData(1));
    QCOMPARE(stored(machine, UserRoot + "\\Group\\Sub", "Other").data, registryDwordData(2));
    QCOMPARE(stored(machine, UserRoot + "\\Group", "").data, registryTextData("via Default"));
    QCOMPARE(settings.value("Group/."), QVariant(QStringLiteral("via Default")));
    settings.setValue("Group/default", 5);
    QCOMPARE(stored(machine, UserRoot + "\\Group", "default").data, registryDwordData(5));
    QCOMPARE(stored(machine, UserRoot + "\\Group", "").data, registryTextData("via Default"));
    QCOMPARE(settings.value("Group\\Sub/Value"), QVariant(1));
}

void TestRegistrySettings::childKeysGroupsAndAllKeys()
{
    TestMachine machine;
    auto& registry = machine->registry();
    registry.setValue(UserRoot, "b", RegDword, registryDwordData(1));
    registry.setValue(UserRoot, "", RegSz, registryTextData("default"));
    registry.setValue(UserRoot, "A", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Zed", "z", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Alpha\\Deep", "d", RegDword, registryDwordData(1));
    RegistryKey withoutValues;
    QCOMPARE(withoutValues.create(Hive::CurrentUser, "Software\\Tessaro\\Empty", KeyRead), ErrorSuccess);

    RegistrySettings settings(UserRoot);
    QCOMPARE(settings.childKeys(), (QStringList{".", "A", "b"}));
    QCOMPARE(settings.childGroups(), (QStringList{"Alpha", "Empty", "Zed"}));
    QCOMPARE(settings.allKeys(), (QStringList{".", "A", "Alpha/Deep/d", "Zed/z", "b"}));
}

void TestRegistrySettings::removeTakesTheValueAndTheGroupOfThatName()
{
    TestMachine machine;
    auto& registry = machine->registry();
    registry.setValue(UserRoot, "Twin", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Twin\\Below", "v", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Group", "Inner", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Group", "Kept", RegDword, registryDwordData(1));
    registry.setValue(UserRoot, "", RegSz, registryTextData("default"));

    RegistrySettings settings(UserRoot);
    settings.remove("twin");
    QVERIFY(!registry.value(UserRoot, "Twin", nullptr, nullptr));
    QVERIFY(!registry.hasKey(UserRoot + "\\Twin"));
    settings.remove("Group/Inner");
    QVERIFY(!registry.value(UserRoot + "\\Group", "Inner", nullptr, nullptr));
    QVERIFY(registry.value(UserRoot + "\\Group", "Kept", nullptr, nullptr));
    settings.remove("Default");
    QVERIFY(!registry.value(UserRoot, "", nullptr, nullptr));
    settings.remove("NotThere");
    QCOMPARE(settings.status(), RegistrySettings::NoError);
    QCOMPARE(machine->registry().openHandleCount(), 0);

    // Removing the root empties it and keeps it.
    QVERIFY(!settings.allKeys().isEmpty());
    settings.remove(QString());
    QVERIFY(registry.hasKey(UserRoot));
    QCOMPARE(settings.allKeys(), QStringList());
}

void TestRegistrySettings::viewsSelectTheRegistryBranch()
{
    TestMachine machine;
    const QString native = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro";
    const QString redirected = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Tessaro";
    RegistrySettings(native).setValue("Bits", 0);
    RegistrySettings(native, RegistrySettings::View::Registry32).setValue("Bits", 32);
    RegistrySettings(native, RegistrySettings::View::Registry64).setValue("Bits", 64);
    QCOMPARE(stored(machine, redirected, "Bits").data, registryDwordData(32));
    QCOMPARE(stored(machine, native, "Bits").data, registryDwordData(64));

    RegistrySettings literal("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Tessaro");
    QCOMPARE(literal.value("Bits"), QVariant(32));
}

void TestRegistrySettings::refusedWritesSetAccessError()
{
    TestMachine machine;
    machine->registry().setValue("HKEY_LOCAL_MACHINE\\SYSTEM\\Policy", "Kept", RegDword, registryDwordData(1));
    machine->system().administrator = false;

    RegistrySettings policy("HKEY_LOCAL_MACHINE\\SYSTEM\\Policy");
    QCOMPARE(policy.value("Kept"), QVariant(1));
    QCOMPARE(policy.status(), RegistrySettings::NoError);
    policy.setValue("New", 1);
    QCOMPARE(policy.status(), RegistrySettings::AccessError);
    QVERIFY(!machine->registry().value("HKEY_LOCAL_MACHINE\\SYSTEM\\Policy", "New", nullptr, nullptr));

    RegistrySettings remover("HKEY_LOCAL_MACHINE\\SYSTEM\\Policy");
    remover.remove("Kept");
    QCOMPARE(remover.status(), RegistrySettings::AccessError);
    QVERIFY(machine->registry().value("HKEY_LOCAL_MACHINE\\SYSTEM\\Policy", "Kept", nullptr, nullptr));

    RegistrySettings user(UserRoot);
    user.setValue("Fine", 1);
    QCOMPARE(user.status(), RegistrySettings::NoError);
    QCOMPARE(machine->registry().openHandleCount(), 0);
}

void TestRegistrySettings::rootPathsWithoutHiveAreBelowLocalMachine()
{
    TestMachine machine;
    RegistrySettings("SYSTEM/Tessaro").setValue("A", 1);
    RegistrySettings("HKLM\\SYSTEM\\Tessaro").setValue("B", 2);
    RegistrySettings("\\HKEY_CURRENT_USER\\Software\\Tessaro").setValue("C", 3);
    QCOMPARE(stored(machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\Tessaro", "A").data, registryDwordData(1));
    QCOMPARE(stored(machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\Tessaro", "B").data, registryDwordData(2));
    QCOMPARE(stored(machine, UserRoot, "C").data, registryDwordData(3));
}

QTEST_GUILESS_MAIN(TestRegistrySettings)
#include "tst_registrysettings.moc"
