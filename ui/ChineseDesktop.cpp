#include "ui/ChineseDesktop.h"

#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>

void installFontSubstitutes()
{
    // WenQuanYi Micro Hei is drawn after the Windows font: its figures and
    // line height are close, where the general fallback's figures are wider
    // and overflow the labels made for the real one.
    QFont::insertSubstitutions("Microsoft YaHei", {"WenQuanYi Micro Hei", "Noto Sans CJK SC"});
    // Half-width figures like Consolas', so a card number keeps its line.
    QFont::insertSubstitutions("Consolas", {"Noto Sans Mono CJK SC", "DejaVu Sans Mono"});
}

bool installQtChineseTranslation(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load("qtbase_zh_CN", QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
