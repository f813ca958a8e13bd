#include "platform/sim/programs/AnsiCodePage.h"

#include <QTextCodec>

namespace win::sim {

namespace {

QTextCodec* codecOf(quint32 codePage)
{
    if (codePage == 65001)
        return QTextCodec::codecForName("UTF-8");
    for (const char* pattern : {"windows-%1", "CP%1"}) {
        if (QTextCodec* codec = QTextCodec::codecForName(QString::fromLatin1(pattern).arg(codePage).toLatin1()))
            return codec;
    }
    return QTextCodec::codecForName("windows-1252");
}

} // namespace

AnsiCodePage::AnsiCodePage(quint32 codePage) : m_codec(codecOf(codePage))
{
}

QByteArray AnsiCodePage::encode(const QString& text) const
{
    return m_codec->fromUnicode(text);
}

QString AnsiCodePage::decode(const QByteArray& bytes) const
{
    return m_codec->toUnicode(bytes);
}

} // namespace win::sim
