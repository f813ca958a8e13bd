// The registry's .reg files alone: saves and loads 1,000,000 values in 50,000
// keys (mixed types), and loads 100,000 sibling keys of one key written in
// descending order, the order that costs most when keys are kept sorted.
// And the registry in memory: deletes, one by one, every value of a key of
// 4,000, 16,000 and 64,000 values (a policy Run key a hostile program
// filled), with the growth exponent of the time, and of 256,000 values.
// Every figure is the median of five rounds. `bench_registry_io deletions`
// measures the deletions only.
// Goals (release build): siblings < 200 ms and growing linearly with the
// count; deleting values: exponent at most 1.1.
#include "BenchFigures.h"
#include "platform/RegistryKey.h"
#include "platform/sim/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace win;
using win::sim::RegistryStore;

namespace {

constexpr int KeyCount = 50000;
constexpr int ValuesPerKey = 20;
constexpr int SiblingKeys = 100000;
constexpr int Rounds = 5;

void fail(const QString& what)
{
    std::fprintf(stderr, "bench_registry_io: %s\n", qPrintable(what));
    std::exit(1);
}

QString keyPath(int index)
{
    const QString hive = index % 2 ? QStringLiteral("HKEY_CURRENT_USER\\Software")
                                   : QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node");
    return QStringLiteral("%1\\Vendor%2\\Product%3\\Settings%4")
        .arg(hive).arg(index % 50).arg(index / 50 % 20).arg(index);
}

void valueData(QRandomGenerator& random, int index, quint32* type, QByteArray* data)
{
    switch (index % 6) {
    case 0:
        *type = RegSz;
        *data = registryTextData(QStringLiteral("C:\\Program Files\\软件 %1\\app.exe").arg(random.generate()));
        return;
    case 1:
        *type = RegDword;
        *data = registryDwordData(random.generate());
        return;
    case 2: {
        *type = RegBinary;
        data->resize(int(random.bounded(32, 200)));
        for (char& byte : *data)
            byte = char(random.bounded(256));
        return;
    }
    case 3:
        *type = RegExpandSz;
        *data = registryTextData(QStringLiteral("%SystemRoot%\\system32\\file%1.dll").arg(index));
        return;
    case 4:
        *type = RegMultiSz;
        *data = registryMultiTextData({"first", QString::number(random.generate()), "third"});
        return;
    default:
        *type = RegQword;
        *data = registryQwordData(random.generate64());
        return;
    }
}

void generate(RegistryStore& store)
{
    QRandomGenerator random(20240601);
    for (int key = 0; key < KeyCount; ++key) {
        const QString path = keyPath(key);
        for (int value = 0; value < ValuesPerKey; ++value) {
            quint32 type = RegNone;
            QByteArray data;
            valueData(random, value, &type, &data);
            store.setValue(path, QStringLiteral("Value %1").arg(value), type, data);
        }
    }
}

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*.reg"}, QDir::Files))
        total += file.size();
    return total;
}

bool sameValues(const RegistryStore& a, const RegistryStore& b)
{
    for (int key = 0; key < KeyCount; key += 97) {
        for (int value = 0; value < ValuesPerKey; ++value) {
            const QString name = QStringLiteral("Value %1").arg(value);
            quint32 typeA = 0, typeB = 0;
            QByteArray dataA, dataB;
            if (!a.value(keyPath(key), name, &typeA, &dataA) || !b.value(keyPath(key), name, &typeB, &dataB)
                || typeA != typeB || dataA != dataB)
                return false;
        }
    }
    return true;
}

qint64 median(std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

// One .reg file with `count` subkeys of one key, the last name first.
void writeSiblingKeys(const QString& folder, int count)
{
    QByteArray text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Siblings]\n";
    for (int i = count - 1; i >= 0; --i)
        text += "\n[HKEY_CURRENT_USER\\Software\\Siblings\\Key" + QByteArray::number(i).rightJustified(6, '0')
                + "]\n\"v\"=dword:00000001\n";
    QFile file(QDir(folder).filePath(QStringLiteral("siblings.reg")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        fail(file.fileName() + QStringLiteral(": ") + file.errorString());
}

void measureValues()
{
    RegistryStore store;
    generate(store);
    std::vector<qint64> saveTimes;
    std::vector<qint64> loadTimes;
    QString error;
    QElapsedTimer timer;
    QTemporaryDir folder;
    for (int round = 0; round < Rounds; ++round) {
        timer.start();
        if (!store.saveFolder(folder.path(), &error))
            fail(QStringLiteral("save failed: ") + error);
        saveTimes.push_back(timer.elapsed());

        RegistryStore loaded;
        timer.restart();
        if (!loaded.loadFolder(folder.path(), &error))
            fail(QStringLiteral("load failed: ") + error);
        loadTimes.push_back(timer.elapsed());
        if (!sameValues(store, loaded))
            fail(QStringLiteral("the loaded registry differs from the saved one"));
    }
    std::printf("registry: %d values in %d keys, %.1f MiB of .reg text\n", KeyCount * ValuesPerKey, KeyCount,
                double(folderBytes(folder.path())) / (1024.0 * 1024.0));
    std::printf("save (median of %d): %lld ms\nload (median of %d): %lld ms\n", Rounds,
                static_cast<long long>(median(saveTimes)), Rounds, static_cast<long long>(median(loadTimes)));
}

qint64 siblingLoadMs(int count)
{
    QTemporaryDir folder;
    writeSiblingKeys(folder.path(), count);
    std::vector<qint64> times;
    QString error;
    for (int round = 0; round < Rounds; ++round) {
        RegistryStore store;
        QElapsedTimer timer;
        timer.start();
        if (!store.loadFolder(folder.path(), &error))
            fail(QStringLiteral("sibling load failed: ") + error);
        times.push_back(timer.elapsed());
        if (!store.hasKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\Siblings\\Key000000")))
            fail(QStringLiteral("the sibling keys did not load"));
    }
    return median(times);
}

void measureSiblings()
{
    const qint64 quarter = siblingLoadMs(SiblingKeys / 4);
    const qint64 full = siblingLoadMs(SiblingKeys);
    std::printf("%d sibling keys, descending (median of %d): %lld ms (goal < 200); %d keys: %lld ms\n",
                SiblingKeys, Rounds, static_cast<long long>(full), SiblingKeys / 4,
                static_cast<long long>(quarter));
}

double valueDeletionMs(int count)
{
    const QString key = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run");
    QVector<double> times;
    for (int round = 0; round < Rounds; ++round) {
        RegistryStore store;
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QStringLiteral("Agent%1").arg(i, 6, 10, QChar('0'));
            store.setValue(QStringLiteral("HKEY_CURRENT_USER\\") + key, names.last(), RegSz, registryTextData("agent.exe"));
        }
        quintptr handle = 0;
        if (store.openKey(Hive::CurrentUser, key, KeyAllAccess, true, &handle) != ErrorSuccess)
            fail(QStringLiteral("the Run key did not open"));
        QElapsedTimer timer;
        timer.start();
        for (const QString& name : qAsConst(names)) {
            if (store.deleteValue(handle, name) != ErrorSuccess)
                fail(QStringLiteral("a value could not be deleted"));
        }
        times << timer.nsecsElapsed() / 1e6;
    }
    return medianOf(times);
}

void measureValueDeletions()
{
    QVector<double> sizes;
    QVector<double> times;
    for (int count : {4000, 16000, 64000}) {
        sizes << count;
        times << valueDeletionMs(count);
        std::printf("deleting the %d values of one key one by one (median of %d): %.1f ms\n", count, Rounds,
                    times.last());
    }
    std::printf("deleting values, growth exponent: %.2f (goal <= 1.1)\n", growthExponent(sizes, times));
    // A key this large outgrows the processor's caches: each deletion costs
    // more for that alone.
    std::printf("deleting the %d values of one key one by one (median of %d): %.1f ms\n", 256000, Rounds,
                valueDeletionMs(256000));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    measureValueDeletions();
    if (argc > 1 && QByteArray(argv[1]) == "deletions")
        return 0;
    measureValues();
    measureSiblings();
    return 0;
}
