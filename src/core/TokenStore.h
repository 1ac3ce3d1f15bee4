#pragma once
// Where the person's access token lives between runs: a private file that
// Varkelo also reads (default), or the Secret Service (protected mode, the
// file is then absent). Synchronous; never reports failure to the caller.
#include <QString>

class TokenStore {
public:
    static QString ler();
    static void salvar(const QString &token);
    static void definirProtegido(bool protegido, const QString &token);
    // Writes the file (mode 0600 from its creation, swapped in by rename);
    // the empty token removes it. True when the file holds the token now.
    static bool gravarNoArquivo(const QString &token);

    static bool modoProtegido();   // the "tokenNoKeychain" setting
    // How often a protected read is retried while no Secret Service answers
    // (it may start after us at login), and the pause between tries.
    static void definirTentativasDeLeitura(int tentativas, int pausaMs);
};
