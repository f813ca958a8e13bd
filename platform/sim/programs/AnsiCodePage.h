#pragma once

#include <QByteArray>
#include <QString>

class QTextCodec;

namespace win::sim {

// The machine's ANSI code page (936 = GBK on a Chinese system), the one
// console programs write their output in when it goes to a pipe and the one
// QString::fromLocal8Bit decodes with on Windows.
class AnsiCodePage
{
public:
    explicit AnsiCodePage(quint32 codePage);

    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;

private:
    QTextCodec* m_codec;
};

} // namespace win::sim
