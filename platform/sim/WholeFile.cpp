#include "platform/sim/WholeFile.h"

#include <climits>

namespace win::sim {

QByteArray contentOf(QFile& file)
{
    const qint64 size = file.size();
    const uchar* mapped = size > 0 && size < INT_MAX ? file.map(0, size) : nullptr;
    if (!mapped)
        return file.readAll();
    return QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), int(size));
}

} // namespace win::sim
