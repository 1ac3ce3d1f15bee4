#pragma once
// The sections of the main window and the person's profile.
#include <QString>
#include <optional>

enum class SecaoPainel { geral, sessoes, rede, projetos, pessoas, ajustes, diario, desenvolvimento };
enum class Perfil { set, gestao, tecnico };

namespace Secoes {
// Raw values are the case names ("geral", "rede", ...).
std::optional<SecaoPainel> secaoDeTexto(const QString &texto);
QString textoDaSecao(SecaoPainel s);
// Stored texts "set", "gestao", "tecnico"; anything else is `set`.
Perfil perfilDeTexto(const QString &texto);
QString textoDoPerfil(Perfil p);
// The section asked for by the first argument that begins with "--painel"
// ("--painel=rede"): `pedido` says whether there was such an argument.
struct PedidoDePainel {
    bool pedido = false;
    std::optional<SecaoPainel> secao;
};
PedidoDePainel painelNosArgumentos(const QStringList &argumentos);
}
