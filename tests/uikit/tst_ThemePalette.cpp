// A sheet names the colours it takes by their role; each theme fills in its
// own, where a role may also stand at an opacity of its colour.
#include "uikit/ThemePalette.h"

#include <QtTest>

class TestThemePalette : public QObject
{
    Q_OBJECT

private slots:
    void fillsInTheThemesColours_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("filled");
        QTest::newRow("role whose name begins another's") << 0 << "color:@accentDeep;" << "color:#009FD4;";
        QTest::newRow("roles beside one another") << 1 << "a{color:@text;border:1px solid @border}"
                                                   << "a{color:#2D1A08;border:1px solid #F0D9BD}";
        QTest::newRow("role at an opacity") << 2 << "background:@accent/0.06;" << "background:rgba(26,115,232,0.06);";
        QTest::newRow("role before a comment") << 0 << "color:@text/* the title */;" << "color:#E8ECF2/* the title */;";
        QTest::newRow("any other index is light") << 7 << "background:@page;" << "background:#F0F2F8;";
    }

    void fillsInTheThemesColours()
    {
        QFETCH(int, theme);
        QFETCH(QString, sheet);
        QTEST(ThemePalette::of(theme).sheet(sheet), "filled");
    }
};

QTEST_APPLESS_MAIN(TestThemePalette)

#include "tst_ThemePalette.moc"
