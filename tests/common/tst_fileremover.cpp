#include "TestMachine.h"
#include "common/FileRemover.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Stick = QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\stick");

// The rule of a program that does not lie on the machine.
FileRemover plainRemover()
{
    return FileRemover(ProtectedFolders(QString()));
}

// A folder of the host outside every machine, with files that must survive:
// half of them in its subfolder "Sub".
struct OutsideFolder
{
    QTemporaryDir dir;

    explicit OutsideFolder(int files)
    {
        QDir(dir.path()).mkdir(QStringLiteral("Sub"));
        for (int i = 0; i < files; ++i) {
            QFile file(dir.filePath(QStringLiteral("%1precious%2.doc").arg(i % 2 ? "Sub/" : "").arg(i)));
            file.open(QIODevice::WriteOnly);
            file.write("keep");
        }
    }
    int count() const
    {
        int files = 0;
        for (QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++files;
        return files;
    }
    // Links `windowsPath` on the machine to this folder, or to its file.
    bool linkFrom(TestMachine& machine, const QString& windowsPath, bool toFile = false) const
    {
        return QFile::link(toFile ? dir.filePath(QStringLiteral("precious0.doc")) : dir.path(), machine.hostPath(windowsPath));
    }
};

} // namespace

class FileRemoverTest : public QObject
{
    Q_OBJECT

private slots:
    void patternsAgeAndTally()
    {
        TestMachine machine;
        machine.addFile(QStringLiteral("C:\\Cache\\A.DMP"), QByteArray(100, 'a'));
        machine.addFile(QStringLiteral("C:\\Cache\\deep\\b.wer"), QByteArray(50, 'b'));
        machine.addFile(QStringLiteral("C:\\Cache\\c.txt"), QByteArray(10, 'c'));
        machine.addFile(QStringLiteral("C:\\Cache\\d.dmp"), QByteArray(7, 'd'));
        machine->files().setAttributes(QStringLiteral("C:\\Cache\\d.dmp"), win::FileAttributeReadOnly, win::FileAttributeReadOnly);
        // Nothing is older than an hour ago.
        QCOMPARE(plainRemover().removeFiles(QStringLiteral("C:\\Cache"), {}, QDateTime::currentDateTime().addSecs(-3600)).files, 0);
        const RemovalTally tally = plainRemover().removeFiles(QStringLiteral("C:\\Cache"), {QStringLiteral("*.dmp"), QStringLiteral("*.wer")});
        QCOMPARE(tally.files, 2);
        QCOMPARE(tally.bytes, qint64(150));
        QVERIFY(win::pathExists(QStringLiteral("C:\\Cache\\d.dmp")));
        QVERIFY(win::pathExists(QStringLiteral("C:\\Cache\\c.txt")));
        QVERIFY(win::isDirectory(QStringLiteral("C:\\Cache\\deep")));
    }

    // A portable layout inside an emptied folder (a stick copied into the
    // temporary folder) keeps everything: identifier, flag, tools, program.
    void portableLayoutIsNeverTouched_data()
    {
        QTest::addColumn<QString>("spelling");   // of the stick's folder on the drive
        QTest::newRow("as named") << Stick;
        QTest::newRow("with a trailing dot") << Stick + QStringLiteral(".");
    }

    void portableLayoutIsNeverTouched()
    {
        QFETCH(QString, spelling);
        TestMachine machine;
        const QStringList layout = {spelling + QStringLiteral("\\eula_accepted.flag"),
                                    spelling + QStringLiteral("\\Tessaro\\config\\device.id"),
                                    spelling + QStringLiteral("\\Tessaro\\tools\\实用工具\\tool.exe"),
                                    spelling + QStringLiteral("\\Tessaro\\bin\\tessaro.exe")};
        for (const QString& file : layout)
            machine.addFile(file, "mine");
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp\\junk.tmp"), "junk");
        const FileRemover remover{ProtectedFolders(Stick + QStringLiteral("\\Tessaro\\bin"))};
        QCOMPARE(remover.emptyFolder(QStringLiteral("C:\\Users\\Tester\\AppData\\Local\\Temp")).files, 1);
        QCOMPARE(remover.removeFiles(Stick + QStringLiteral("\\Tessaro\\config"), {}).files, 0);
        QVERIFY(remover.removePath(Stick + QStringLiteral("\\Tessaro\\tools")).refused);
        qint64 bytes = 0;
        QVERIFY(!remover.removeFile(layout.last(), &bytes));
        for (const QString& file : layout)
            QVERIFY2(QFile::exists(machine.hostPath(file)), qPrintable(file));
    }

    // Emptying keeps the folder given, removes the subfolders it emptied and
    // reports each file that went; links go as links.
    void emptyFolderRemovesEmptiedSubfolders()
    {
        TestMachine machine;
        OutsideFolder outside(3);
        const QString cache = QStringLiteral("C:\\Cache");
        machine.addFile(cache + QStringLiteral("\\a.bin"), QByteArray(3 * 1048576, 'a'));
        machine.addFile(cache + QStringLiteral("\\deep\\deeper\\b.bin"), QByteArray(500, 'b'));
        machine.addFile(cache + QStringLiteral("\\held\\locked.bin"), "l");
        machine->files().setLocked(cache + QStringLiteral("\\held\\locked.bin"), true);
        QVERIFY(outside.linkFrom(machine, cache + QStringLiteral("\\deep\\outside-link")));
        QVERIFY(outside.linkFrom(machine, cache + QStringLiteral("\\file-link"), true));
        QMap<QString, qint64> reported;
        const RemovalTally tally = plainRemover().emptyFolder(cache, [&reported](const QString& path, qint64 bytes) {
            reported.insert(path, bytes);
        });
        QCOMPARE(reported, (QMap<QString, qint64>{{cache + QStringLiteral("\\a.bin"), 3 * 1048576},
                                                  {cache + QStringLiteral("\\deep\\deeper\\b.bin"), 500},
                                                  {cache + QStringLiteral("\\deep\\outside-link"), 0},
                                                  {cache + QStringLiteral("\\file-link"), 0}}));
        QCOMPARE(tally.files, 4);
        QCOMPARE(tally.folders, 2);
        QCOMPARE(tally.bytes, qint64(3 * 1048576 + 500));
        QVERIFY(win::isDirectory(cache));
        QVERIFY(!win::pathExists(cache + QStringLiteral("\\deep")));
        QVERIFY(win::pathExists(cache + QStringLiteral("\\held\\locked.bin")));
        QCOMPARE(outside.count(), 3);
    }

    void removePathTakesOneEntryWhole_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("folders");
        QTest::addColumn<qint64>("bytes");   // a link frees nothing
        QTest::newRow("file") << "C:\\Bad\\bad.exe" << false << true << 1 << 0 << qint64(3);
        QTest::newRow("link to a file") << "C:\\Bad\\file-link" << false << true << 1 << 0 << qint64(0);
        QTest::newRow("link to a folder") << "C:\\Bad\\folder-link" << false << true << 1 << 0 << qint64(0);
        QTest::newRow("folder tree, links inside") << "C:\\Bad" << false << true << 3 << 2 << qint64(3);
        QTest::newRow("spelled another way") << "c:/bad/./SUB." << false << true << 0 << 1 << qint64(0);
        QTest::newRow("folder holding a locked file") << "C:\\Held" << false << false << 0 << 0 << qint64(0);
        QTest::newRow("missing") << "C:\\Bad\\missing" << false << true << 0 << 0 << qint64(0);
        QTest::newRow("protected") << "C:\\Users\\Tester\\Documents" << true << false << 0 << 0 << qint64(0);
        QTest::newRow("holds a protected folder") << "C:\\Users\\Tester" << true << false << 0 << 0 << qint64(0);
    }

    void removePathTakesOneEntryWhole()
    {
        QFETCH(QString, path);
        TestMachine machine;
        OutsideFolder outside(2);
        machine.addFile(QStringLiteral("C:\\Bad\\bad.exe"), "bad");
        machine.addFolder(QStringLiteral("C:\\Bad\\Sub"));
        QVERIFY(outside.linkFrom(machine, QStringLiteral("C:\\Bad\\folder-link")));
        QVERIFY(outside.linkFrom(machine, QStringLiteral("C:\\Bad\\file-link"), true));
        machine.addFile(QStringLiteral("C:\\Held\\locked.dll"), "l");
        machine->files().setLocked(QStringLiteral("C:\\Held\\locked.dll"), true);
        machine.addFile(QStringLiteral("C:\\Users\\Tester\\Documents\\letter.docx"), "l");
        const PathRemoval removal = plainRemover().removePath(path);
        QTEST(removal.refused, "refused");
        QTEST(removal.gone, "gone");
        QTEST(removal.removed.files, "files");
        QTEST(removal.removed.folders, "folders");
        QTEST(removal.removed.bytes, "bytes");
        QCOMPARE(outside.count(), 2);
        QVERIFY(win::pathExists(QStringLiteral("C:\\Users\\Tester\\Documents\\letter.docx")));
    }

    // The folder is checked, then swapped for a link to a folder outside the
    // machine before the walk opens it: every call leaves the outside alone.
    void folderSwappedForALinkIsNeverFollowed_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("swapped");
        QTest::newRow("removeFiles") << "removeFiles" << "C:\\Cache";
        QTest::newRow("emptyFolder") << "emptyFolder" << "C:\\Cache";
        QTest::newRow("removePath") << "removePath" << "C:\\Cache";
        QTest::newRow("removeFiles, a folder on the way") << "removeFiles" << "C:\\Cache\\Sub";
    }

    void folderSwappedForALinkIsNeverFollowed()
    {
        QFETCH(QString, call);
        QFETCH(QString, swapped);
        TestMachine machine;
        OutsideFolder outside(20);
        machine.addFile(QStringLiteral("C:\\Cache\\Sub\\Deeper\\a.tmp"), "a");
        const QString host = machine.hostPath(swapped.left(8));
        bool done = false;
        machine->files().setBeforeOpenHook([&] {
            if (!std::exchange(done, true))
                QVERIFY(QDir().rename(host, host + QStringLiteral(".moved")) && QFile::link(outside.dir.path(), host));
        });
        const FileRemover remover = plainRemover();
        if (call == QLatin1String("removeFiles"))
            remover.removeFiles(swapped, {});
        else if (call == QLatin1String("emptyFolder"))
            remover.emptyFolder(swapped);
        else
            remover.removePath(swapped);
        QVERIFY(done);
        QCOMPARE(outside.count(), 20);
    }
};

QTEST_GUILESS_MAIN(FileRemoverTest)
#include "tst_fileremover.moc"
