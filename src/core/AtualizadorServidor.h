#pragma once
// Keeps the managed server folder current: seeds it from the copy among the
// app's resources, downloads the server package from the cloud service on the
// first run and whenever the cloud announces another build, fetches it again
// as a rescue when the server will not come up, keeps the editor package
// ("mirelune") in sync and asks the cloud for the first person of a new set.
//
// A folder chosen by hand is never touched: callers ask
// ehInstalacaoGerenciada first. Nothing here shows anything; callers put the
// outcome into the app's notice.
//
// Static operations with a little process-wide state (reset at launch).
// Everything runs on the main thread; waits are coroutines.
#include "Resultado.h"

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <optional>

// "/netinfo" of the cloud, as the server package needs it.
struct NetinfoVPS {
    QString build;                      // display build, required
    std::optional<QString> buildReal;   // exact build, when the cloud has one

    // buildReal when present, else build.
    QString buildEfetivo() const { return buildReal.value_or(build); }
    bool operator==(const NetinfoVPS &) const = default;
};

// The same "/netinfo" object, as the editor sync reads it.
struct NetinfoEditor {
    std::optional<QString> editor;
    bool operator==(const NetinfoEditor &) const = default;
};

class AtualizadorServidor {
public:
    AtualizadorServidor() = delete;

    // ---- the cloud service
    // Built-in base address; QUILVO_NUVEM_URL replaces it (read at each call).
    static QString enderecoNuvemPadrao();
    static QUrl enderecoNuvem();
    // The base address followed by `caminho` ("/netinfo", ...).
    static QUrl urlNuvem(const QString &caminho);

    // ---- operations called by the control loop
    // True when `pasta` (a leading "~" expanded, ".", ".." and redundant
    // separators removed) is exactly the managed folder; case-sensitive.
    static bool ehInstalacaoGerenciada(const QString &pasta);

    // Copies the app's seed copy ("servidor" among the resources) into the
    // managed folder unless it already has "node_modules". Never fails.
    static void instalarSeNecessario();

    // Downloads and applies the server package unless "server.js" is there.
    static QCoro::Task<ResultadoVazio> garantirSistemaBaixado();

    // First person and token of a new set, when "data/pessoas.json" is
    // missing. Never fails; a failed seeding is retried at the next start.
    static QCoro::Task<> semearPessoaSeNecessario(QString token);

    // Applies the cloud's package when its effective build differs from the
    // local one. "Atualizado para " + build when a new build was installed.
    static QCoro::Task<std::optional<QString>> verificarEAplicarAtualizacao(
        std::optional<QString> buildLocal, std::optional<QString> buildRealLocal);

    // Rescue when the server will not come up: downloads the cloud's package,
    // at most once per remote build per launch. True when one was applied.
    static QCoro::Task<bool> resgatarSeHouverVersaoNova();

    // Starts an editor sync unless one runs or one started less than 600 s
    // ago. Returns at once.
    static void sincronizarEditorEmSegundoPlano();

    // ---- internal steps (public for tests and the benchmark)
    static QCoro::Task<Resultado<NetinfoVPS>> buscarNetinfoVPS();
    // Downloads "/pacote-servidor-local.tar.gz" to a temporary file next to
    // the managed folder and extracts it over the folder with tar.
    static QCoro::Task<ResultadoVazio> baixarEAplicar();
    static QCoro::Task<ResultadoVazio> sincronizarEditor();
    // "mirelune/.versao", trimmed; none when it cannot be read.
    static std::optional<QString> versaoLocalDoEditor();

    // /usr/bin/tar, else `tar` on the PATH.
    static QString programaTar();

    // ---- process-wide state
    struct Estado {
        std::optional<QDateTime> ultimaTentativaEm;       // last update download started
        std::optional<QDateTime> ultimaTentativaEditor;   // last editor sync started
        bool baixandoEditor = false;
        std::optional<QString> resgatadoCom;              // remote build of the last rescue
    };
    static const Estado &estado();
    static void zerarEstado();   // tests only

    // Decoders of the "/netinfo" body (lenient: unknown keys ignored).
    static Resultado<NetinfoVPS> decodificarNetinfoVPS(const QByteArray &corpo);
    static Resultado<NetinfoEditor> decodificarNetinfoEditor(const QByteArray &corpo);
};
