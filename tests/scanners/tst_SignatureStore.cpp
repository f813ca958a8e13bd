#include "ScannerTestSupport.h"
#include "platform/CaseFold.h"

#include <QtTest>
#include <algorithm>

using namespace scannertest;

class TestSignatureStore : public QObject
{
    Q_OBJECT

    TestMachine m_machine;

private slots:
    void missingOrMalformedSignatureFileLeavesStoreEmpty_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("writeFile");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("malformed") << QByteArray("{\"version\": \"1\", \"patterns\": [") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("trailing comma") << QByteArray("{\"patterns\": [{\"id\": \"a\"},]}") << true;
        QTest::newRow("array at the root") << QByteArray("[{\"patterns\": [{\"id\": \"a\"}]}]") << true;
    }

    void missingOrMalformedSignatureFileLeavesStoreEmpty()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, writeFile);
        QTemporaryDir good;
        QVERIFY(loadSignatures(good, {pattern("first", {{"process_names", QJsonArray{"a.exe"}}})},
                               QJsonObject{{"patterns", QJsonArray{"first"}}}));
        QVERIFY(SignatureStore::instance().isLoaded());

        QTemporaryDir dir;
        if (writeFile)
            scannertest::writeFile(dir.filePath("adware.json"), content);
        QVERIFY(!SignatureStore::instance().load(dir.path()));
        QVERIFY(!SignatureStore::instance().isLoaded());
        QVERIFY(SignatureStore::instance().signatures().isEmpty());
        QVERIFY(!SignatureStore::instance().isWhitelisted("first"));
        // Unusable signatures must not read like a clean machine.
        QCOMPARE(SignatureStore::instance().problems().size(), 1);
    }

    void noPatternsReadsButDoesNotLoad()
    {
        QTemporaryDir dir;
        scannertest::writeFile(dir.filePath("adware.json"), "{\"version\": \"2.1\"}");
        QVERIFY(SignatureStore::instance().load(dir.path()));
        QVERIFY(!SignatureStore::instance().isLoaded());
        QCOMPARE(SignatureStore::instance().version(), QString("2.1"));

        QVERIFY(loadSignatures(dir, QJsonArray()));
        QVERIFY(!SignatureStore::instance().isLoaded());

        // Patterns that are no list are named, never taken for no junk software.
        scannertest::writeFile(dir.filePath("adware.json"), R"({"version": "2.2", "patterns": {"id": "a"}})");
        QVERIFY(SignatureStore::instance().load(dir.path()));
        QVERIFY(!SignatureStore::instance().isLoaded());
        QCOMPARE(SignatureStore::instance().problems().value(0), QString::fromUtf8("adware.json 的 patterns 不是数组"));
    }

    void readsFieldsInFileOrderAndSkipsForeignElements()
    {
        QTemporaryDir dir;
        const QJsonObject full{{"id", "full"},
                               {"name", "Full Name"},
                               {"name_cn", "检测到杀毒软件"},
                               {"category", "pup"},
                               {"risk_level", "high"},
                               {"description", "desc"},
                               {"removal_notes", "notes"},
                               {"detection", QJsonObject{{"uninstall_keys", QJsonArray{"U1", 7, "U2"}},
                                                         {"registry_keys", QJsonArray{"SOFTWARE\\R"}},
                                                         {"file_paths", QJsonArray{"%APPDATA%\\F"}},
                                                         {"process_names", QJsonArray{"p.exe", QJsonObject()}},
                                                         {"service_names", QJsonArray{"svc"}},
                                                         {"startup_names", QJsonArray{"run"}}}}};
        QVERIFY(loadSignatures(dir, {full, "not an object", QJsonObject{{"id", "bare"}}, QJsonObject{{"id", "full"}}}));

        const SignatureStore& store = SignatureStore::instance();
        QVERIFY(store.isLoaded());
        QCOMPARE(store.signatures().size(), 3);
        const auto fields = [](const AdwareSignature& s) {
            return QStringList{s.id, s.name, s.nameCn, s.category, s.riskLevel, s.description, s.uninstallKeys.join(','),
                               s.filePaths.join(','), s.processNames.join(','), s.serviceNames.join(','), s.startupNames.join(',')}
                .join('|');
        };
        QCOMPARE(fields(store.signatures().at(0)), QStringLiteral("full|Full Name|检测到杀毒软件|pup|high|desc|U1,U2|%APPDATA%\\F|p.exe|svc|run"));
        QCOMPARE(fields(store.signatures().at(1)), QStringLiteral("bare||||||||||"));
        QCOMPARE(store.signatures().at(2).id, QString("full"));  // same id kept twice, and named
        QVERIFY(store.problems().join('\n').contains("patterns[3]（id \"full\"） 的 id 重复"));
    }

    void defectsAreNamedWithTheirPlace_data()
    {
        QTest::addColumn<QJsonArray>("patterns");
        QTest::addColumn<QStringList>("ids");  // what was loaded
        QTest::addColumn<QString>("problem");
        const QJsonObject good = pattern("good", {{"process_names", QJsonArray{"g.exe"}}});
        QTest::newRow("clean") << QJsonArray{good} << QStringList{"good"} << QString();
        QTest::newRow("id not a text") << QJsonArray{good, QJsonObject{{"id", 7}}} << QStringList{"good"}
                                       << "adware.json patterns[1] 的 id 缺失、为空或不是文本，已跳过";
        QTest::newRow("blank id") << QJsonArray{QJsonObject{{"id", " "}}, good} << QStringList{"good"}
                                  << "adware.json patterns[0] 的 id 缺失、为空或不是文本，已跳过";
        QTest::newRow("no id") << QJsonArray{QJsonObject{{"name", "x"}}, good} << QStringList{"good"}
                               << "adware.json patterns[0] 的 id 缺失、为空或不是文本，已跳过";
        QTest::newRow("repeated id") << QJsonArray{good, pattern("good", {})} << QStringList{"good", "good"}
                                     << "adware.json patterns[1]（id \"good\"） 的 id 重复，其检测结果将并入同 id 的第一条特征";
        QTest::newRow("unknown detection key")
            << QJsonArray{pattern("typo", {{"proces_names", QJsonArray{"t.exe"}}})} << QStringList{"typo"}
            << "adware.json patterns[0]（id \"typo\"） 的 detection 含未知的键 \"proces_names\"";
        QTest::newRow("list given as a text")
            << QJsonArray{pattern("flat", {{"process_names", "f.exe"}})} << QStringList{"flat"}
            << "adware.json patterns[0]（id \"flat\"） 的 detection.process_names 不是文本数组";
        QTest::newRow("no signature at all") << QJsonArray{} << QStringList() << "adware.json 中没有可用的特征";
    }

    void defectsAreNamedWithTheirPlace()
    {
        QFETCH(QJsonArray, patterns);
        QFETCH(QStringList, ids);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        loadSignatures(dir, patterns);
        QStringList loaded;
        for (const AdwareSignature& sig : SignatureStore::instance().signatures())
            loaded.append(sig.id);
        QCOMPARE(loaded, ids);
        QCOMPARE(SignatureStore::instance().problems(), problem.isEmpty() ? QStringList() : QStringList{problem});
    }

    void whitelistListsAndIds()
    {
        QTemporaryDir dir;
        QVERIFY(loadSignatures(dir, {pattern("a", {})},
                               QJsonObject{{"patterns", QJsonArray{"Ask_Toolbar", 3}},
                                           {"user_whitelist", QJsonArray{"mine"}},
                                           {"process_names", QJsonArray{"Helper"}},
                                           {"file_paths", QJsonArray{"C:\\Keep"}}}));
        const SignatureStore& store = SignatureStore::instance();
        QVERIFY(store.isWhitelisted("Ask_Toolbar"));
        QVERIFY(store.isWhitelisted("mine"));
        QVERIFY(!store.isWhitelisted("ask_toolbar"));
        QVERIFY(!store.isWhitelisted("Ask_Toolbar2"));
        QVERIFY(!store.isWhitelisted(QString()));
    }

    void missingOrMalformedWhitelistIsNoWhitelist()
    {
        QTemporaryDir dir;
        QVERIFY(loadSignatures(dir, {pattern("a", {})}));
        QVERIFY(SignatureStore::instance().isLoaded());
        QVERIFY(!SignatureStore::instance().isProcessWhitelisted("anything.exe"));

        scannertest::writeFile(dir.filePath("whitelist.json"), "{\"whitelist\": {\"patterns\": [\"a\"");
        QVERIFY(SignatureStore::instance().load(dir.path()));
        QVERIFY(SignatureStore::instance().isLoaded());
        QVERIFY(!SignatureStore::instance().isWhitelisted("a"));
    }

    void fragmentsMatchAsCaseInsensitiveSubstrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fragments");
        QTest::addColumn<bool>("matches");
        QTest::newRow("inside, other case") << "MyAdPopup.exe" << QStringList{"zip", "ADPOPUP"} << true;
        QTest::newRow("at the end") << "tool.EXE" << QStringList{"zip", ".exe"} << true;
        QTest::newRow("one character") << "a-b" << QStringList{"-"} << true;
        QTest::newRow("overlapping start") << "aaab" << QStringList{"aab"} << true;
        QTest::newRow("longer than the text") << "ab" << QStringList{"abc"} << false;
        QTest::newRow("blank fragments match nothing") << "any thing" << QStringList{"", " ", "  "} << false;
        QTest::newRow("padded fragment keeps its blank") << "ab" << QStringList{" b"} << false;
        QTest::newRow("no fragments") << "Search Protect" << QStringList() << false;
        QTest::newRow("Chinese") << "2345好压 v6" << QStringList{"快压", "好压"} << true;
        QTest::newRow("final sigma") << "ΟΔΟΣ" << QStringList{"ος"} << true;
        QTest::newRow("sharp s is no double s") << "STRASSE" << QStringList{"ß"} << false;
    }

    // The prepared lists answer exactly what a case-insensitive search for each
    // fragment answers.
    void fragmentsMatchAsCaseInsensitiveSubstrings()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fragments);
        QFETCH(bool, matches);
        const bool searched = std::any_of(fragments.begin(), fragments.end(), [&text](const QString& fragment) {
            return !fragment.trimmed().isEmpty() && text.contains(fragment, Qt::CaseInsensitive);
        });
        QCOMPARE(searched, matches);
        QCOMPARE(FragmentList(fragments).foundIn(win::foldCase(text)), matches);
        QCOMPARE(SignatureStore::containsAnyFragment(text, fragments), matches);
    }

    void preparedListsAnswerForEachSignature()
    {
        QTemporaryDir dir;
        QVERIFY(loadSignatures(dir, {pattern("a", QJsonObject{{"process_names", QJsonArray{"adpop"}}}),
                                     pattern("b", QJsonObject{{"startup_names", QJsonArray{"hotnews", ""}},
                                                              {"process_names", QJsonArray{"news"}}})}));
        const SignatureStore& store = SignatureStore::instance();
        const QString folded = win::foldCase("HotNewsDaemon.exe");
        QVERIFY(store.anySignatureHolds(&AdwareSignature::startupNames, folded));
        QVERIFY(store.anySignatureHolds(&AdwareSignature::processNames, folded));
        QVERIFY(!store.anySignatureHolds(&AdwareSignature::serviceNames, folded));
        QVERIFY(!store.fragments(0, &AdwareSignature::processNames).foundIn(folded));
        QVERIFY(store.fragments(1, &AdwareSignature::processNames).foundIn(folded));
        QVERIFY(store.fragments(0, &AdwareSignature::processNames).foundIn(win::foldCase("ADPOPUP")));
        QVERIFY(!store.anySignatureHolds(&AdwareSignature::startupNames, win::foldCase("ADPOPUP")));
    }

    void pathWhitelistExpandsBothSides()
    {
        QTemporaryDir dir;
        m_machine->system().environment.insert(QStringLiteral("NOTHING"), QString());
        QVERIFY(loadSignatures(dir, {pattern("a", {})},
                               QJsonObject{{"file_paths", QJsonArray{"%ProgramFiles%\\Keep", "C:\\Users\\Tester\\AppData\\Roaming\\Safe", "",
                                                                     "%NOTHING%", " %NOTHING% ", "%NOTHING%\\"}}}));
        const SignatureStore& store = SignatureStore::instance();
        // Entries that expand to nothing name no folder and whitelist nothing.
        QVERIFY(!store.isPathWhitelisted("C:\\Users\\Tester\\AppData\\Local\\BadFiles"));
        // The entry written with a variable protects the spelled-out path, in any case and separator.
        QVERIFY(store.isPathWhitelisted("c:\\program files (x86)\\KEEP\\sub"));
        QVERIFY(store.isPathWhitelisted("C:/Program Files (x86)/Keep/app.exe"));
        // The spelled-out entry protects a signature path written with a variable.
        QVERIFY(store.isPathWhitelisted("%APPDATA%\\Safe\\x"));
        QVERIFY(store.isPathWhitelisted("%ProgramFiles%\\Keep"));
        QVERIFY(!store.isPathWhitelisted("%APPDATA%\\Other"));
        QVERIFY(!store.isPathWhitelisted("C:\\Program Files\\Keep"));  // the 64-bit folder is another folder
    }

    void shippedSignaturesLoad()
    {
        QVERIFY(SignatureStore::instance().load(shippedSignatureFolder()));
        const SignatureStore& store = SignatureStore::instance();
        QVERIFY(store.isLoaded());
        QVERIFY2(store.problems().isEmpty(), qPrintable(store.problems().join('\n')));
        QVERIFY2(store.signatures().size() >= 40, qPrintable(QString::number(store.signatures().size())));
        QVERIFY(!store.version().isEmpty());
        QVERIFY(store.isProcessWhitelisted("svchost.exe"));
        QVERIFY(store.isPathWhitelisted("C:\\Windows\\System32\\drivers"));
        for (const AdwareSignature& sig : store.signatures()) {
            QVERIFY2(!sig.id.isEmpty() && !sig.name.isEmpty(), qPrintable(sig.id));
            // This program is 32-bit: %ProgramFiles% is the x86 folder, so a
            // program folder is only found in the 64-bit one through its twin.
            const QString folder = QStringLiteral("%ProgramFiles%");
            for (const QString& path : sig.filePaths) {
                if (path.startsWith(folder, Qt::CaseInsensitive))
                    QVERIFY2(sig.filePaths.contains("%ProgramW6432%" + path.mid(folder.size())), qPrintable(path));
            }
        }
    }

    void secondLoadAfterFolderAppears()
    {
        QTemporaryDir parent;
        const QString folder = parent.filePath("signatures");
        QVERIFY(!SignatureStore::instance().load(folder));
        QVERIFY(!SignatureStore::instance().isLoaded());
        QDir().mkpath(folder);
        scannertest::writeFile(folder + "/adware.json",
                               QJsonDocument(QJsonObject{{"patterns", QJsonArray{pattern("late", {})}}}).toJson());
        QVERIFY(SignatureStore::instance().load(folder));
        QVERIFY(SignatureStore::instance().isLoaded());
        QCOMPARE(SignatureStore::instance().signatures().first().id, QString("late"));
    }
};

QTEST_GUILESS_MAIN(TestSignatureStore)
#include "tst_SignatureStore.moc"
