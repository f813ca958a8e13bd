#include "platform/sim/programs/WmicFormatter.h"

namespace win::sim {

const QString WmicFormatter::LineEnd = QStringLiteral("\r\r\n");

QString WmicFormatter::text(const QVariant& value)
{
    if (value.isNull())
        return QString();
    if (value.type() == QVariant::Char)
        return QString::number(value.toChar().unicode());
    if (value.type() == QVariant::Bool)
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return value.toString();
}

QString WmicFormatter::table(const QStringList& properties, const QVector<WmiInstance>& instances)
{
    QVector<int> widths;
    for (const QString& property : properties) {
        int width = property.size();
        for (const WmiInstance& instance : instances)
            width = qMax(width, text(instance.value(property)).size());
        widths.append(width + 2);
    }
    QString out;
    for (int i = 0; i < properties.size(); ++i)
        out += properties.at(i).leftJustified(widths.at(i), ' ');
    out += LineEnd;
    for (const WmiInstance& instance : instances) {
        for (int i = 0; i < properties.size(); ++i)
            out += text(instance.value(properties.at(i))).leftJustified(widths.at(i), ' ');
        out += LineEnd;
    }
    return out + LineEnd;
}

QString WmicFormatter::list(const QStringList& properties, const QVector<WmiInstance>& instances)
{
    QString out;
    for (const WmiInstance& instance : instances) {
        out += LineEnd + LineEnd;
        for (const QString& property : properties)
            out += property + '=' + text(instance.value(property)) + LineEnd;
    }
    return out + LineEnd + LineEnd + LineEnd;
}

} // namespace win::sim
