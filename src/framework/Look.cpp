#include "framework/Look.h"

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>

#include <mutex>

namespace fw {
namespace {
std::function<QPixmap(int)> &iconProvider() // UI thread only
{
    static std::function<QPixmap(int)> provider;
    return provider;
}
// Fusion, but dialog buttons carry their text alone, as the program's boxes always have (some
// platform themes give OK a check mark and Cancel a cross).
class ClassicStyle : public QProxyStyle {
public:
    explicit ClassicStyle(QStyle *base)
        : QProxyStyle(base ? base : QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

void InitClassicLook()
{
    // The Japanese Gothic faces the templates name, served by Debian's IPA fonts.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("Noto Sans Mono CJK JP")});
    QPalette palette = QApplication::palette();
    const QColor grey(0xC0, 0xC0, 0xC0);
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::Base, grey);
    QApplication::setPalette(palette);
    QApplication::setStyle(NewClassicStyle()); // the application takes it over
    QApplication::setPalette(palette);
}

QStyle *NewClassicStyle(QStyle *base)
{
    return new ClassicStyle(base);
}

QFont TemplateFont(std::string_view face, int points)
{
    QFont font(QString::fromUtf8(face.data(), static_cast<int>(face.size())));
    font.setPointSize(points); // follows the screen's DPI, as the dialog units do
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void setIconProvider(std::function<QPixmap(int)> provider)
{
    iconProvider() = std::move(provider);
}

QPixmap IconById(int id)
{
    return iconProvider() ? iconProvider()(id) : QPixmap();
}

} // namespace fw
