#include "uikit/ThemePalette.h"

#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

#include <cstring>

namespace {

struct Role
{
    const char* name;
    const char* colour[3];  // dark, warm, light
};

// One row per role. A role that one theme's sheets do not use still has a
// colour in that theme, the one its part would take there.
const Role kRoles[] = {
    // The page and the surfaces on it.
    {"page", {"#080B14", "#F5EDE0", "#F0F2F8"}},
    {"bar", {"#0B0F17", "#FFF8F0", "#FFFFFF"}},            // title bar, footer, a warm card's header
    {"surface", {"#141923", "#FFFFFF", "#FFFFFF"}},        // cards and fields
    {"panel", {"#141923", "#FFF8F0", "#FFFFFF"}},          // dialogs, the deep optimisation's tool bar
    {"tipFill", {"#141923", "#FFF8EE", "#F7F9FC"}},        // the progress page's tip
    {"adviceFill", {"#141923", "#FFF8EE", "#FFFFFF"}},     // the result page's storage card
    {"adviceBorder", {"#1E2433", "#F0D9BD", "#E2E8F0"}},
    {"cardTop", {"#181D28", "#FFE8D5", "#F7F9FC"}},        // the service card's gradient
    {"cardBottom", {"#141923", "#F5EDE0", "#F1F5F9"}},
    {"ringTrack", {"#1E2433", "#F0D9BD", "#F7F9FC"}},
    {"checkFill", {"#2A3142", "#FFFFFF", "#FFFFFF"}},      // a check box on its card

    // Lines around things.
    {"border", {"#1E2433", "#F0D9BD", "#E4E9F2"}},
    {"buttonBorder", {"#1E2433", "#F0D9BD", "#CDD5E0"}},
    {"fieldBorder", {"#2A3142", "#F0D9BD", "#CDD5E0"}},    // mode buttons, the search field
    {"hoverBorder", {"#253D52", "#DDB88C", "#A0B4D0"}},

    // Buttons that do not lead on.
    {"buttonFill", {"#10141E", "#FFF3E6", "#F7F9FC"}},
    {"hoverFill", {"#181D28", "#FFE8D5", "#FFFFFF"}},
    {"quietFill", {"#141923", "#FFF3E6", "#F1F5F9"}},      // rating buttons, light tool hover
    {"quietHover", {"#181D28", "#FFE8D5", "#E2E8F0"}},
    {"toolHover", {"rgba(0,194,255,0.08)", "#FFE8D5", "#F1F5F9"}},
    {"barButtonHover", {"rgba(255,255,255,0.08)", "#FFE8D5", "#F1F5F9"}},
    {"accentFill", {"#141923", "#FFF3E6", "#EBF3FD"}},     // the deep optimisation's side buttons
    {"accentFillHover", {"rgba(0,194,255,0.08)", "#FFE8D5", "#D6E8FC"}},
    {"helpFill", {"rgba(0,194,255,0.1)", "#FFF3E6", "#EBF3FD"}},
    {"helpHover", {"rgba(0,194,255,0.18)", "#FFE8D5", "#D6E8FC"}},
    {"helpBorder", {"rgba(0,194,255,0.25)", "#FFD0B0", "rgba(26,115,232,0.2)"}},

    // Text.
    {"text", {"#E8ECF2", "#2D1A08", "#0F1520"}},
    {"textSecondary", {"#8B94A6", "#5C3D22", "#475569"}},
    {"textMuted", {"#535C6E", "#A0886A", "#94A3B8"}},
    {"subtitleText", {"#D0D0D0", "#5C3D22", "#475569"}},
    {"adviceText", {"#C7CDD9", "#2D1A08", "#0F1520"}},
    {"statusText", {"#C7CDD9", "#5C3D22", "#475569"}},
    {"safetyText", {"#00D68F", "#23A535", "#10B981"}},
    {"healthScore", {"#00E676", "#2E7D32", "#16A34A"}},

    // The accent: buttons that lead on, titles, figures.
    {"accent", {"#00C2FF", "#FF7A45", "#1A73E8"}},
    {"accentDeep", {"#009FD4", "#E8632A", "#1557C0"}},
    {"accentPressed", {"#0088B0", "#D45520", "#1355A8"}},
    {"onAccent", {"#0B0F17", "white", "white"}},

    // The keyboard's focus: seen on the page and on an accent button alike.
    {"focus", {"#FFFFFF", "#2D1A08", "#0F1520"}},

    // The result page's prompt and issue cards.
    {"prompt", {"#F97316", "#FF7A45", "#F97316"}},
    {"promptText", {"#FB923C", "#FF7A45", "#EA580C"}},
    {"warningCard", {"rgba(251,191,36,0.08)", "#FFF8EE", "#FFFBEB"}},
    {"warningCardBorder", {"rgba(251,191,36,0.15)", "rgba(224,136,10,0.15)", "rgba(245,158,11,0.15)"}},
    {"dangerCard", {"rgba(239,68,68,0.08)", "#FFF0ED", "#FEF2F2"}},
    {"dangerCardBorder", {"rgba(239,68,68,0.15)", "rgba(224,85,72,0.15)", "rgba(239,68,68,0.15)"}},

    // The About box and the picture box.
    {"aboutPanel", {"#151A2D", "#FFF8F0", "#FFFFFF"}},
    {"aboutBar", {"#0F1219", "#FFE8D6", "#F8F9FA"}},
    {"aboutBarBorder", {"#1E2230", "#FFD4B8", "#E8EAED"}},
    {"aboutHeading", {"#FFFFFF", "#4A3B32", "#202124"}},
    {"aboutText", {"#B0B8C4", "#5D4037", "#5F6368"}},
    {"aboutVersion", {"#7A808C", "#8D6E63", "#5F6368"}},
    {"aboutFaint", {"#5A6070", "#A1887F", "#9AA0A6"}},
    {"aboutButton", {"rgba(255,255,255,0.08)", "#FFFFFF", "#FFFFFF"}},
    {"aboutButtonText", {"#B0B8C4", "#5D4037", "#3C4043"}},
    {"aboutButtonBorder", {"rgba(255,255,255,0.15)", "#FFD0B0", "#DADCE0"}},
    {"aboutButtonHover", {"rgba(0,194,255,0.15)", "#FFE0CC", "#F1F3F4"}},
    {"aboutButtonHoverBorder", {"rgba(0,194,255,0.3)", "#FFCCB0", "#C2D7F2"}},
    {"aboutOkStart", {"#5271FF", "#FF7A45", "#1A73E8"}},   // the OK button's fill, left to right
    {"aboutOkEnd", {"#00C2FF", "#FF7A45", "#4285F4"}},
    {"aboutOkHoverStart", {"#5271FF", "#FF8C60", "#1557B0"}},
    {"aboutOkHoverEnd", {"#00C2FF", "#FF8C60", "#3367D6"}},
    {"aboutOkText", {"white", "white", "white"}},
    {"picturePanel", {"#1E2230", "#FFF8F0", "#FFFFFF"}},
    {"pictureClose", {"rgba(255,255,255,0.1)", "rgba(0,0,0,0.05)", "rgba(0,0,0,0.04)"}},  // a veil over the panel

    // The same in every theme.
    {"danger", {"#EF4444", "#EF4444", "#EF4444"}},
    {"dangerDeep", {"#DC2626", "#DC2626", "#DC2626"}},
    {"dangerDeeper", {"#B91C1C", "#B91C1C", "#B91C1C"}},
    {"onDanger", {"white", "white", "white"}},
    {"closeHover", {"#E53935", "#E53935", "#E53935"}},
    {"onCloseHover", {"#FFFFFF", "#FFFFFF", "#FFFFFF"}},
    {"warning", {"#F59E0B", "#F59E0B", "#F59E0B"}},
    {"riskSlight", {"#4A90D9", "#4A90D9", "#4A90D9"}},
    {"riskMild", {"#E8923F", "#E8923F", "#E8923F"}},
    {"riskModerate", {"#D94A4A", "#D94A4A", "#D94A4A"}},
    {"scrollHandle", {"#C0C0C0", "#C0C0C0", "#C0C0C0"}},
    // Before a theme is applied, and in the boxes that keep one look.
    {"plainAccent", {"#4A90D9", "#4A90D9", "#4A90D9"}},
    {"plainAccentDeep", {"#3A80C9", "#3A80C9", "#3A80C9"}},
    {"plainBorder", {"#E0E0E0", "#E0E0E0", "#E0E0E0"}},
    {"paper", {"white", "white", "white"}},
    {"paperText", {"#5F6368", "#5F6368", "#5F6368"}},
    {"progressTrack", {"#E4E9F2", "#E4E9F2", "#E4E9F2"}},
    {"progressStart", {"#1A73E8", "#1A73E8", "#1A73E8"}},
    {"progressEnd", {"#00C2FF", "#00C2FF", "#00C2FF"}},
    {"progressButtonHover", {"#1557C0", "#1557C0", "#1557C0"}},
    {"progressButtonText", {"white", "white", "white"}},
};

const Role* findRole(QStringView name)
{
    for (const Role& role : kRoles) {
        if (name == QLatin1String(role.name))
            return &role;
    }
    return nullptr;
}

// "#1A73E8" at 0.08 as a sheet writes it: "rgba(26,115,232,0.08)".
QString withOpacity(const QString& hex, QStringView opacity)
{
    Q_ASSERT_X(hex.size() == 7 && hex.startsWith('#'), "ThemePalette", "only a #RRGGBB role takes an opacity");
    const auto channel = [&hex](int at) { return QString::number(hex.midRef(at, 2).toInt(nullptr, 16)); };
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(channel(1), channel(3), channel(5), opacity.toString());
}

} // namespace

const ThemePalette& ThemePalette::of(int index)
{
    static const ThemePalette palettes[] = {ThemePalette(Dark), ThemePalette(Warm), ThemePalette(Light)};
    return palettes[index == Dark || index == Warm ? index : Light];
}

QString ThemePalette::colour(const char* role) const
{
    const Role* found = findRole(QString::fromLatin1(role));
    Q_ASSERT_X(found, "ThemePalette::colour", role);
    return found ? QString::fromLatin1(found->colour[m_column]) : QString();
}

QString ThemePalette::sheet(const QString& sheet) const
{
    static const QRegularExpression token(QStringLiteral("@([A-Za-z]+)(?:/([0-9.]+))?"));
    QString filled;
    int copied = 0;
    for (auto it = token.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const Role* role = findRole(match.capturedView(1));
        Q_ASSERT_X(role, "ThemePalette::sheet", qPrintable(match.captured(0)));
        if (!role)
            continue;
        const QString colour = QString::fromLatin1(role->colour[m_column]);
        filled += sheet.midRef(copied, match.capturedStart() - copied);
        filled += match.capturedLength(2) > 0 ? withOpacity(colour, match.capturedView(2)) : colour;
        copied = match.capturedEnd();
    }
    return filled + sheet.midRef(copied);
}

QString ThemePalette::buttonFocusRule(const QStringList& objectNames)
{
    QStringList selectors;
    for (const QString& name : objectNames)
        selectors << QStringLiteral("QPushButton#%1:focus").arg(name);
    return selectors.join(", ") + QStringLiteral(" { border: 2px solid @focus; outline: none; }");
}

QString ThemePalette::ownFocusRule(const char* type)
{
    return QStringLiteral("%1:focus { border: 2px solid @focus; outline: none; }").arg(QLatin1String(type));
}

void ThemePalette::setSheet(QWidget* widget, const QString& sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

QString ThemePalette::thinScrollBarSheet()
{
    return of(Light).sheet(QStringLiteral(
        "QScrollBar:vertical { width:6px; background:transparent; }"
        "QScrollBar::handle:vertical { background:@scrollHandle; border-radius:3px; min-height:20px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height:0px; }"));
}
