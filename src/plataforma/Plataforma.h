#pragma once
// The operating system as the apps see it: folders, the home, the resource
// folder and small helpers for paths. Everything here is Linux/XDG; callers
// never build these paths themselves.
#include <QString>

namespace Plataforma {

// The per-user data folder ("Application Support"): the XDG data home.
QString pastaSuporte();
// <data home>/VarkeloLocal
QString pastaVarkeloLocal();
// <data home>/VarkeloLocal/token — shared by both apps.
QString arquivoToken();
// <data home>/VarkeloLocal/servidor — the managed server folder.
QString pastaServidorGerenciada();

// The folder with the app's resources (runtime/, servidor/, Fontes/).
// QUILVO_RECURSOS overrides it; otherwise it is found next to the executable
// (installed tree) or in the source tree the build came from.
QString pastaRecursos();

QString pastaHome();
// "~" or "~/x" at the start becomes the home folder.
QString expandirTil(const QString &caminho);

} // namespace Plataforma
