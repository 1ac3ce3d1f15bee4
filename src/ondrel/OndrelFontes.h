#pragma once
// The app's own font files ("Inter", "Barlow Condensed", "JetBrains Mono")
// and the way components ask for them.
#include <QFont>
#include <QString>
#include <QStringList>

namespace OndrelFontes {

// Registers every file of <resources>/Fontes whose extension is "ttf" in any
// letter case, in listing order. Never fails visibly: a missing folder, an
// unreadable one or a file that does not register is skipped. Call once while
// starting, before the first window.
void registrar();
// The same for a given folder; returns the files that registered.
QStringList registrarPasta(const QString &pasta);

inline const QString inter() { return QStringLiteral("Inter"); }
inline const QString barlow() { return QStringLiteral("Barlow Condensed"); }
inline const QString mono() { return QStringLiteral("JetBrains Mono"); }

// A font of `familia` at `tamanho` points (device-independent pixels, as every
// size of the components) with letter spacing `espacamento` in the same unit.
QFont fonte(const QString &familia, QFont::Weight peso, qreal tamanho, qreal espacamento = 0);
// The size in device-independent pixels that `fonte` was asked for.
qreal tamanhoDe(const QFont &f);

} // namespace OndrelFontes
