#pragma once
// The protected token: one generic password in the Secret Service, under a
// fixed service name and no account. Every call is synchronous and bounded in
// time: a keyring that never answers (locked, prompt left open, no service)
// must not freeze the app.
#include <QString>
#include <optional>

class KeychainStore {
public:
    static const QString servico;   // "app.quilvo.local.token"

    enum class Situacao { achou, naoExiste, semServico };
    struct Leitura {
        Situacao situacao = Situacao::semServico;
        QString token;
    };

    static std::optional<QString> ler();
    static void salvar(const QString &token);
    static void apagar();

    // The same operations with the outcome spelled out, for callers that must
    // not mistake an absent or locked service for "no token".
    static Leitura lerDetalhado();
    static bool salvarConfirmado(const QString &token);
    static bool apagarConfirmado();

    // Upper bound of one call, in milliseconds (tests shorten it).
    static void definirPrazoMs(int ms);
};
