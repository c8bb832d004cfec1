// The program's classic look: light grey dialogs with black text, the Gothic fonts served by the
// IPA fonts, and the icons that templates name.
#pragma once

#include <QFont>
#include <QPixmap>
#include <functional>
#include <string_view>

class QStyle;

namespace fw {

// Call once after the QApplication exists: font substitutions, the grey palette and the style.
void InitClassicLook();
// The program's style over base (Fusion when null; the new style owns it): dialog buttons show
// their text alone, whatever the platform's theme asks for.
QStyle *NewClassicStyle(QStyle *base = nullptr);
// The font a template names ("ＭＳ Ｐゴシック", 9) as a Qt font.
QFont TemplateFont(std::string_view face, int points);
// Icons by resource ID, supplied by the resources (the framework knows no icons of its own).
void setIconProvider(std::function<QPixmap(int)> provider);
QPixmap IconById(int id);

constexpr unsigned kDialogBackground = 0xC0C0C0;

} // namespace fw
