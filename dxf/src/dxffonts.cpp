#include "dxf/dxffonts.h"

#include "dxftextlayout.h"

#include <QFileInfo>

namespace dxf {

namespace {

    // Faces with the metrics of the common Windows faces, so texts keep their widths.
    struct Substitute {
        const char *font;
        const char *family;
    };
    constexpr Substitute substitutes[] = {
        { "arial", "Liberation Sans" },
        { "helvetica", "Liberation Sans" },
        { "arialn", "Liberation Sans Narrow" },
        { "arial narrow", "Liberation Sans Narrow" },
        { "times", "Liberation Serif" },
        { "times new roman", "Liberation Serif" },
        { "timesnewroman", "Liberation Serif" },
        { "cour", "Liberation Mono" },
        { "courier new", "Liberation Mono" },
        { "couriernew", "Liberation Mono" },
        { "calibri", "Carlito" },
        { "cambria", "Caladea" },
        // Bitstream Vera, which DejaVu continues, was drawn to Verdana's proportions.
        { "verdana", "DejaVu Sans" },
        { "tahoma", "DejaVu Sans" },
    };

    // ISO 3098 lettering, the closest to the stroke fonts' single-line glyphs.
    constexpr const char *strokeFamilies[] = { "osifont" };

    // Small ones first; each covers Han, Hangul and Kana.
    constexpr const char *cjkFamilies[] = { "WenQuanYi Micro Hei", "Noto Sans CJK SC",
        "Noto Sans CJK KR", "WenQuanYi Zen Hei", "Droid Sans Fallback" };

    constexpr const char *lastResort = "DejaVu Sans";

    class Families {
    public:
        explicit Families(const QStringList &installed)
            : installed(installed)
        {
        }

        // The installed spelling of family, added once; false when it is not installed. A file
        // name matches its family without spaces and style ("NotoSans-Regular", "Noto Sans").
        bool add(const QString &family)
        {
            const QString key = comparable(family);
            for (const QString &candidate : installed) {
                if (comparable(candidate) == key) {
                    if (!chosen.contains(candidate))
                        chosen.append(candidate);
                    return true;
                }
            }
            return false;
        }

        QStringList chosen;

    private:
        static QString comparable(const QString &family)
        {
            QString key = family.toLower();
            key.removeIf([](QChar c) { return c == u' ' || c == u'-' || c == u'_'; });
            if (key.endsWith(QLatin1String("regular")))
                key.chop(7);
            return key;
        }

        const QStringList &installed;
    };

} // namespace

FontChoice chooseFont(const QString &styleFont, const QStringList &installed, bool cjk)
{
    FontChoice choice;
    Families families(installed);
    if (cjk) {
        for (const char *family : cjkFamilies)
            families.add(QLatin1String(family));
    }
    const QString name = styleFont.trimmed();
    if (isStrokeFont(name)) {
        choice.strokeStandIn = true;
        for (const char *family : strokeFamilies)
            families.add(QLatin1String(family));
    } else {
        // A style names a family or a font file; the file's base name is often the family.
        const QString base = QFileInfo(name).completeBaseName();
        if (!families.add(name) && !families.add(base)) {
            for (const Substitute &s : substitutes) {
                const QLatin1String font(s.font);
                if ((base.compare(font, Qt::CaseInsensitive) == 0
                        || name.compare(font, Qt::CaseInsensitive) == 0)
                    && families.add(QLatin1String(s.family)))
                    break;
            }
        }
    }
    // Characters the face lacks come from the first face that has them.
    families.add(QLatin1String(lastResort));
    for (const char *family : cjkFamilies)
        families.add(QLatin1String(family));
    choice.families = families.chosen;
    if (choice.families.isEmpty())
        choice.families.append(QLatin1String(lastResort));
    return choice;
}

} // namespace dxf
