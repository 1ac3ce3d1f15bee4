#pragma once
// Per-user settings of each app (one QSettings store per app, INI under
// XDG_CONFIG_HOME). Values of the wrong kind count as absent.
#include <QSettings>
#include <QString>
#include <optional>

namespace Ajustes {
// A boolean counts only when stored as a boolean: the text "true" or "false"
// (or a real bool). Anything else under the key counts as absent.
std::optional<bool> booleano(const QSettings &s, const QString &chave);
// A text setting; absent when the key holds no text.
std::optional<QString> texto(const QSettings &s, const QString &chave);
}
