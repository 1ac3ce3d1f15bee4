#include "Narrador.h"

#include "AppState.h"

#include <QDateTime>
#include <QTextStream>
#include <cstdio>

namespace {

void dizer(const QString &linha)
{
    static QTextStream saida(stdout);
    saida << QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")) << "  " << linha << Qt::endl;
}

QString nomeDoIcone(EstadoIcone e)
{
    switch (e) {
    case EstadoIcone::funcionando: return QStringLiteral("funcionando");
    case EstadoIcone::parado: return QStringLiteral("parado");
    case EstadoIcone::conectando: return QStringLiteral("conectando");
    case EstadoIcone::atualizando: return QStringLiteral("atualizando");
    case EstadoIcone::atualizacaoPendente: return QStringLiteral("atualizacaoPendente");
    case EstadoIcone::versaoAnunciada: return QStringLiteral("versaoAnunciada");
    }
    return {};
}

} // namespace

namespace Narrador {

void acompanhar(AppState *e)
{
    auto icone = std::make_shared<EstadoIcone>(e->estadoIcone());
    auto build = std::make_shared<QString>();
    auto linhasVistas = std::make_shared<QString>();

    const auto conferirIcone = [e, icone] {
        const EstadoIcone agora = e->estadoIcone();
        if (agora != *icone) {
            *icone = agora;
            dizer(QStringLiteral("[luz] ") + nomeDoIcone(agora));
        }
    };
    QObject::connect(e, &AppState::erroChanged, e, [e, conferirIcone] {
        if (e->erro())
            dizer(QStringLiteral("[quilvo] ") + *e->erro());
        conferirIcone();
    });
    QObject::connect(e, &AppState::statusChanged, e, [e, build, conferirIcone] {
        if (e->status() && e->status()->build != *build) {
            *build = e->status()->build;
            dizer(QStringLiteral("[status] servidor no ar, build %1, %2 conexões, ocioso: %3")
                      .arg(*build)
                      .arg(e->status()->conexoes)
                      .arg(e->status()->ocioso ? (*e->status()->ocioso ? "sim" : "não") : "?"));
        } else if (!e->status()) {
            build->clear();
        }
        conferirIcone();
    });
    QObject::connect(e, &AppState::escopoChanged, e, [e] {
        if (e->escopo())
            dizer(QStringLiteral("[escopo] %1 projetos, %2 produtoras, %3 núcleos")
                      .arg(e->escopo()->projetos.size())
                      .arg(e->escopo()->produtoras.size())
                      .arg(e->escopo()->nucleos.size()));
    });
    QObject::connect(e, &AppState::sessoesChanged, e, [e] {
        dizer(QStringLiteral("[presença] %1 sessões").arg(e->sessoes().size()));
    });
    QObject::connect(e, &AppState::servidorAdotadoChanged, e, [e] {
        dizer(e->servidorAdotado() ? QStringLiteral("[quilvo] servidor adotado") : QStringLiteral("[quilvo] servidor próprio"));
    });
    QObject::connect(e, &AppState::temaIdChanged, e, [e] { dizer(QStringLiteral("[tema] ") + e->temaId()); });
    QObject::connect(e, &AppState::atualizandoAgoraChanged, e, conferirIcone);
    // Log lines are echoed once each: the log is a window of the last 200.
    QObject::connect(e->processo(), &ServerProcess::logChanged, e, [e, linhasVistas] {
        const QStringList log = e->processo()->log();
        int desde = 0;
        if (!linhasVistas->isEmpty()) {
            const int i = log.lastIndexOf(*linhasVistas);
            desde = i >= 0 ? i + 1 : 0;
        }
        for (int i = desde; i < log.size(); ++i)
            dizer(QStringLiteral("[servidor] ") + log.at(i));
        if (!log.isEmpty())
            *linhasVistas = log.constLast();
    });
}

} // namespace Narrador
