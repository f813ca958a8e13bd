#include "TestMachine.h"
#include "common/FileRemover.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QtTest>

class FileRemoverTest : public QObject
{
    Q_OBJECT

private slots:
    void refusedFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("blank") << QStringLiteral("  ") << true;
        QTest::newRow("relative") << QStringLiteral("Temp") << true;
        QTest::newRow("drive-relative") << QStringLiteral("C:Temp") << true;
        QTest::newRow("variable") << QStringLiteral("%TEMP%") << true;
        QTest::newRow("drive root") << QStringLiteral("C:\\") << true;
        QTest::newRow("drive root, slash") << QStringLiteral("d:/") << true;
        QTest::newRow("Windows folder") << QStringLiteral("C:\\WINDOWS\\") << true;
        QTest::newRow("climbing") << QStringLiteral("C:\\Temp\\..\\Users") << true;
        QTest::newRow("temp") << QStringLiteral("C:\\Windows\\Temp") << false;
        QTest::newRow("cache") << QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\") << false;
    }

    void refusedFolders()
    {
        QFETCH(QString, folder);
        TestMachine machine;
        QTEST(FileRemover(QString()).isRefusedFolder(folder), "refused");
    }

    void programFolderIsNeverTouched()
    {
        TestMachine machine;
        machine.addFile(QStringLiteral("C:\\Stick\\Tessaro\\bin\\tessaro.exe"), "exe");
        machine.addFile(QStringLiteral("C:\\Stick\\Tessaro\\bin\\logs\\log_1.txt"), "log");
        machine.addFile(QStringLiteral("C:\\Stick\\junk.tmp"), "junk");
        const FileRemover remover(QStringLiteral("c:\\stick\\tessaro\\BIN"));
        const RemovalTally tally = remover.removeFiles(QStringLiteral("C:\\Stick"), {});
        QCOMPARE(tally.files, 1);
        QVERIFY(win::pathExists(QStringLiteral("C:\\Stick\\Tessaro\\bin\\tessaro.exe")));
        QVERIFY(win::pathExists(QStringLiteral("C:\\Stick\\Tessaro\\bin\\logs\\log_1.txt")));
        qint64 bytes = 0;
        QVERIFY(!remover.removeFile(QStringLiteral("C:\\Stick\\Tessaro\\bin\\tessaro.exe"), &bytes));
    }

    void patternsAgeAndTally()
    {
        TestMachine machine;
        machine.addFile(QStringLiteral("C:\\Cache\\A.DMP"), QByteArray(100, 'a'));
        machine.addFile(QStringLiteral("C:\\Cache\\deep\\b.wer"), QByteArray(50, 'b'));
        machine.addFile(QStringLiteral("C:\\Cache\\c.txt"), QByteArray(10, 'c'));
        machine.addFile(QStringLiteral("C:\\Cache\\d.dmp"), QByteArray(7, 'd'));
        machine->files().setAttributes(QStringLiteral("C:\\Cache\\d.dmp"), win::FileAttributeReadOnly, win::FileAttributeReadOnly);
        const RemovalTally tally = FileRemover(QString()).removeFiles(QStringLiteral("C:\\Cache"), {QStringLiteral("*.dmp"), QStringLiteral("*.wer")});
        QCOMPARE(tally.files, 2);
        QCOMPARE(tally.bytes, qint64(150));
        QVERIFY(win::pathExists(QStringLiteral("C:\\Cache\\d.dmp")));
        QVERIFY(win::pathExists(QStringLiteral("C:\\Cache\\c.txt")));
        QVERIFY(win::isDirectory(QStringLiteral("C:\\Cache\\deep")));
        // Nothing is older than an hour ago.
        const RemovalTally young = FileRemover(QString()).removeFiles(QStringLiteral("C:\\Cache"), {}, QDateTime::currentDateTime().addSecs(-3600));
        QCOMPARE(young.files, 0);
    }

    void singleFiles()
    {
        TestMachine machine;
        const QString target = machine.addFile(QStringLiteral("C:\\Keep\\precious.doc"), QByteArray(64, 'p'));
        machine.addFolder(QStringLiteral("C:\\Junk"));
        QVERIFY(QFile::link(target, machine.hostPath(QStringLiteral("C:\\Junk\\precious-link.doc"))));
        const FileRemover remover{QString()};
        qint64 bytes = -1;
        QVERIFY(remover.removeFile(QStringLiteral("C:\\Junk\\precious-link.doc"), &bytes));
        QCOMPARE(bytes, qint64(0));
        QVERIFY(QFile::exists(target));
        QVERIFY(!remover.removeFile(QStringLiteral("C:\\Keep"), &bytes));
        QVERIFY(!remover.removeFile(QStringLiteral("C:\\Keep\\missing.doc"), &bytes));
        QVERIFY(remover.removeFile(QStringLiteral("c:\\keep\\PRECIOUS.DOC"), &bytes));
        QCOMPARE(bytes, qint64(64));
    }
};

QTEST_GUILESS_MAIN(FileRemoverTest)
#include "tst_fileremover.moc"
