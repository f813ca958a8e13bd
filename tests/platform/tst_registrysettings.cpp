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
    void numbersAreStoredAsDwordAndQword();
    void textsAreStoredAsQSettingsStoresThem();
    void stringListsBecomeMultiStringsWhenTheyCan();
    void byteArraysAreStoredAsTheirAtText();
    void registryTypesReadBackAsQSettingsReadsThem();
    void missingValuesGiveTheDefault();
    void keysUseBothSeparatorsAndDefaultAliases();
    void childKeysGroupsAndAllKeys();
    void removeTakesTheValueAndTheGroupOfThatName();
    void removeOfTheRootEmptiesIt();
    void viewsSelectTheRegistryBranch();
    void refusedWritesSetAccessError();
    void rootPathsWithoutHiveAreBelowLocalMachine();
};

void TestRegistrySettings::numbersAreStoredAsDwordAndQword()
{
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("Int", -2);
    settings.setValue("UInt", 4000000000u);
    settings.setValue("Long", qlonglong(1) << 40);
    settings.setValue("ULong", qulonglong(7));

    const Stored dword = stored(machine, UserRoot, "Int");
    QCOMPARE(dword.type, quint32(RegDword));
    QCOMPARE(dword.data, registryDwordData(0xFFFFFFFEu));
    QCOMPARE(stored(machine, UserRoot, "UInt").data, registryDwordData(4000000000u));
    const Stored qword = stored(machine, UserRoot, "Long");
    QCOMPARE(qword.type, quint32(RegQword));
    QCOMPARE(qword.data, registryQwordData(quint64(1) << 40));
    QCOMPARE(stored(machine, UserRoot, "ULong").type, quint32(RegQword));

    QCOMPARE(settings.value("Int"), QVariant(-2));
    QCOMPARE(settings.value("Long"), QVariant(qlonglong(1) << 40));
    QCOMPARE(settings.status(), RegistrySettings::NoError);
}

void TestRegistrySettings::textsAreStoredAsQSettingsStoresThem()
{
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("Text", QStringLiteral("0"));
    settings.setValue("Flag", true);
    settings.setValue("At", QStringLiteral("@home"));
    settings.setValue("Nul", QString::fromLatin1("a\0b", 3));
    settings.setValue("Real", 1.5);

    const Stored text = stored(machine, UserRoot, "Text");
    QCOMPARE(text.type, quint32(RegSz));
    QCOMPARE(text.data, QByteArray("0\0\0\0", 4));
    QCOMPARE(stored(machine, UserRoot, "Flag").data, registryTextData("true"));
    QCOMPARE(stored(machine, UserRoot, "At").data, registryTextData("@@home"));
    const Stored nul = stored(machine, UserRoot, "Nul");
    QCOMPARE(nul.type, quint32(RegBinary));
    QCOMPARE(nul.data, utf16(QString::fromLatin1("@String(a\0b)", 12)));
    QCOMPARE(stored(machine, UserRoot, "Real").data, registryTextData("1.5"));

    QCOMPARE(settings.value("Flag"), QVariant(QStringLiteral("true")));
    QCOMPARE(settings.value("Flag").toBool(), true);
    QCOMPARE(settings.value("At"), QVariant(QStringLiteral("@home")));
    QCOMPARE(settings.value("Nul"), QVariant(QString::fromLatin1("a\0b", 3)));
}

void TestRegistrySettings::stringListsBecomeMultiStringsWhenTheyCan()
{
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("List", QStringList{"a", "bc"});
    settings.setValue("Empty", QStringList());
    settings.setValue("WithEmpty", QStringList{"a", "", "c"});

    const Stored list = stored(machine, UserRoot, "List");
    QCOMPARE(list.type, quint32(RegMultiSz));
    QCOMPARE(list.data, QByteArray("a\0\0\0b\0c\0\0\0\0\0", 12));
    QCOMPARE(stored(machine, UserRoot, "Empty").data, QByteArray(2, '\0'));
    const Stored withEmpty = stored(machine, UserRoot, "WithEmpty");
    QCOMPARE(withEmpty.type, quint32(RegBinary));
    QVERIFY(withEmpty.data.startsWith(utf16("@Variant(")));

    QCOMPARE(settings.value("List"), QVariant(QStringList{"a", "bc"}));
    QCOMPARE(settings.value("Empty").toStringList(), QStringList());
    QCOMPARE(settings.value("WithEmpty").toStringList(), (QStringList{"a", "", "c"}));
}

void TestRegistrySettings::byteArraysAreStoredAsTheirAtText()
{
    TestMachine machine;
    RegistrySettings settings(UserRoot);
    settings.setValue("Bytes", QByteArray("abc"));
    settings.setValue("Binary", QByteArray("a\0\xff", 3));

    const Stored bytes = stored(machine, UserRoot, "Bytes");
    QCOMPARE(bytes.type, quint32(RegSz));
    QCOMPARE(bytes.data, registryTextData("@ByteArray(abc)"));
    const Stored binary = stored(machine, UserRoot, "Binary");
    QCOMPARE(binary.type, quint32(RegBinary));
    QCOMPARE(binary.data, utf16(QLatin1String("@ByteArray(a\0\xff)", 15)));

    QCOMPARE(settings.value("Bytes"), QVariant(QByteArray("abc")));
    QCOMPARE(settings.value("Binary"), QVariant(QByteArray("a\0\xff", 3)));
}

void TestRegistrySettings::registryTypesReadBackAsQSettingsReadsThem()
{
    TestMachine machine;
    auto& registry = machine->registry();
    registry.setValue(UserRoot, "Dword", RegDword, registryDwordData(42));
    registry.setValue(UserRoot, "Qword", RegQword, registryQwordData(quint64(5) << 33));
    registry.setValue(UserRoot, "Expand", RegExpandSz, registryTextData("%SystemRoot%\\x"));
    registry.setValue(UserRoot, "Multi", RegMultiSz, registryMultiTextData({"one", "two"}));
    registry.setValue(UserRoot, "Binary", RegBinary, QByteArray("h\0i\0", 4));
    registry.setValue(UserRoot, "Unterminated", RegSz, QByteArray("o\0k\0", 4));
    registry.setValue(UserRoot, "None", RegNone, QByteArray("x", 1));

    RegistrySettings settings(UserRoot);
    const QVariant dword = settings.value("Dword");
    QCOMPARE(dword.userType(), int(QMetaType::Int));
    QCOMPARE(dword.toInt(), 42);
    const QVariant qword = settings.value("Qword");
    QCOMPARE(qword.userType(), int(QMetaType::LongLong));
    QCOMPARE(qword.toLongLong(), qlonglong(5) << 33);
    QCOMPARE(settings.value("Expand"), QVariant(QStringLiteral("%SystemRoot%\\x")));
    QCOMPARE(settings.value("Multi"), QVariant(QStringList{"one", "two"}));
    QCOMPARE(settings.value("Binary"), QVariant(QStringLiteral("hi")));
    QCOMPARE(settings.value("Binary").toByteArray(), QByteArray("hi"));
    QCOMPARE(settings.value("Unterminated"), QVariant(QStringLiteral("ok")));
    // QSettings knows no REG_NONE: the value exists but reads as invalid.
    QVERIFY(settings.contains("None"));
    QVERIFY(!settings.value("None", 7).isValid());
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
}

void TestRegistrySettings::removeOfTheRootEmptiesIt()
{
    TestMachine machine;
    auto& registry = machine->registry();
    registry.setValue(UserRoot, "v", RegDword, registryDwordData(1));
    registry.setValue(UserRoot + "\\Sub", "w", RegDword, registryDwordData(1));
    RegistrySettings settings(UserRoot);
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
