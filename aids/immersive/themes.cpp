#include "aids/immersive/themes.h"

#include <QDir>
#include <QFile>

namespace varnelo {

QColor RgbColour(std::uint32_t rgb) {
  return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

QPalette PaletteOf(const ThemeColours& colours) {
  const QColor page = RgbColour(colours.page);
  const QColor text = RgbColour(colours.text);
  const QColor muted = RgbColour(colours.muted);
  const QColor window = RgbColour(colours.window);
  const QColor panel = RgbColour(colours.panel);
  const QColor accent = RgbColour(colours.accent);
  QPalette palette(window);
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, window);
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::Base, panel);
    palette.setColor(group, QPalette::AlternateBase, page);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::Button, window);
    palette.setColor(group, QPalette::ButtonText, text);
    palette.setColor(group, QPalette::BrightText, colours.dark ? QColor(Qt::white) : QColor(Qt::black));
    palette.setColor(group, QPalette::Highlight, accent);
    palette.setColor(group, QPalette::HighlightedText, colours.dark ? RgbColour(colours.page) : QColor(Qt::white));
    palette.setColor(group, QPalette::ToolTipBase, panel);
    palette.setColor(group, QPalette::ToolTipText, text);
    palette.setColor(group, QPalette::PlaceholderText, muted);
    palette.setColor(group, QPalette::Link, accent);
    palette.setColor(group, QPalette::Light, colours.dark ? window.lighter(150) : QColor(Qt::white));
    palette.setColor(group, QPalette::Midlight, colours.dark ? window.lighter(130) : window.lighter(105));
    palette.setColor(group, QPalette::Mid, colours.dark ? window.lighter(170) : window.darker(130));
    palette.setColor(group, QPalette::Dark, colours.dark ? window.darker(150) : window.darker(160));
    palette.setColor(group, QPalette::Shadow, colours.dark ? QColor(0, 0, 0) : window.darker(220));
  }
  palette.setColor(QPalette::Disabled, QPalette::Window, window);
  palette.setColor(QPalette::Disabled, QPalette::Base, window);
  palette.setColor(QPalette::Disabled, QPalette::Button, window);
  for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, muted);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, muted);
  return palette;
}

bool DesktopPrefersDark(const QPalette& startPalette) {
  QString gtkSettings;
  const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
  const QString folder = configHome.isEmpty() ? QDir::homePath() + QStringLiteral("/.config")
                                              : QString::fromLocal8Bit(configHome);
  // A settings file is a few lines; anything large is not one.
  if (QFile file(folder + QStringLiteral("/gtk-3.0/settings.ini"));
      file.size() < 65536 && file.open(QIODevice::ReadOnly)) {
    gtkSettings = QString::fromUtf8(file.readAll());
  }
  const DesktopDark gtk =
      GtkPrefersDark(gtkSettings.toStdString(), qgetenv("GTK_THEME").toStdString());
  if (gtk != DesktopDark::Unknown) return gtk == DesktopDark::Dark;
  return startPalette.color(QPalette::Window).lightness() < 128;
}

}  // namespace varnelo
