#pragma once
// Opening the app at login: an XDG autostart entry
// (~/.config/autostart/<nome>.desktop). "Enabled" means the entry exists and
// is not marked Hidden=true.
#include <QString>
#include <optional>

namespace ItemDeLogin {
QString caminho(const QString &nome);
bool habilitado(const QString &nome);
// Both return the system's reason on failure, none on success.
std::optional<QString> registrar(const QString &nome, const QString &titulo, const QString &executavel);
std::optional<QString> desregistrar(const QString &nome);
}
