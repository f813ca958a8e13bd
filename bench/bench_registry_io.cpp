// Saves and loads a registry of 100,000 values in 5,000 keys (mixed types)
// through the machine's .reg files and prints the time of each step.
#include "platform/RegistryKey.h"
#include "platform/sim/RegistryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

using namespace win;
using win::sim::RegistryStore;

namespace {

constexpr int KeyCount = 5000;
constexpr int ValuesPerKey = 20;

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    RegistryStore store;
    generate(store);

    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!store.saveFolder(folder.path(), &error)) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 saveMs = timer.elapsed();

    RegistryStore loaded;
    timer.restart();
    if (!loaded.loadFolder(folder.path(), &error)) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 loadMs = timer.elapsed();

    if (!sameValues(store, loaded)) {
        std::fprintf(stderr, "the loaded registry differs from the saved one\n");
        return 1;
    }
    std::printf("registry: %d values in %d keys, %.1f MiB of .reg text\n", KeyCount * ValuesPerKey, KeyCount,
                double(folderBytes(folder.path())) / (1024.0 * 1024.0));
    std::printf("save: %lld ms\nload: %lld ms\n", static_cast<long long>(saveMs), static_cast<long long>(loadMs));
    return 0;
}
