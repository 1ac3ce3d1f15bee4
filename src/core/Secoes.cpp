#include "Secoes.h"

#include <QStringList>
#include <array>
#include <utility>

namespace {
const std::array<std::pair<SecaoPainel, const char *>, 8> nomesSecoes{{
    {SecaoPainel::geral, "geral"},
    {SecaoPainel::sessoes, "sessoes"},
    {SecaoPainel::rede, "rede"},
    {SecaoPainel::projetos, "projetos"},
    {SecaoPainel::pessoas, "pessoas"},
    {SecaoPainel::ajustes, "ajustes"},
    {SecaoPainel::diario, "diario"},
    {SecaoPainel::desenvolvimento, "desenvolvimento"},
}};
}

namespace Secoes {

std::optional<SecaoPainel> secaoDeTexto(const QString &texto)
{
    for (const auto &[s, nome] : nomesSecoes)
        if (texto == QLatin1String(nome))
            return s;
    return std::nullopt;
}

QString textoDaSecao(SecaoPainel s)
{
    for (const auto &[c, nome] : nomesSecoes)
        if (c == s)
            return QString::fromLatin1(nome);
    return QStringLiteral("geral");
}

Perfil perfilDeTexto(const QString &texto)
{
    if (texto == QLatin1String("gestao"))
        return Perfil::gestao;
    if (texto == QLatin1String("tecnico"))
        return Perfil::tecnico;
    return Perfil::set;
}

QString textoDoPerfil(Perfil p)
{
    switch (p) {
    case Perfil::gestao: return QStringLiteral("gestao");
    case Perfil::tecnico: return QStringLiteral("tecnico");
    case Perfil::set: break;
    }
    return QStringLiteral("set");
}

PedidoDePainel painelNosArgumentos(const QStringList &argumentos)
{
    PedidoDePainel r;
    for (const QString &a : argumentos) {
        if (!a.startsWith(QLatin1String("--painel")))
            continue;
        r.pedido = true;
        const QStringList pedacos = a.split(QLatin1Char('='), Qt::SkipEmptyParts);
        if (pedacos.size() >= 2)
            r.secao = secaoDeTexto(pedacos.at(1));
        break;
    }
    return r;
}

} // namespace Secoes
