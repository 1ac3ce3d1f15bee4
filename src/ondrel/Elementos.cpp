#include "Elementos.h"

#include <QStringList>

namespace Elementos {

Categoria categoria(const std::optional<QString> &codigo)
{
    static const QStringList vermelha{"Cl", "Cr", "Le", "Tf", "Tm", "Tp", "Tt", "Tv"};
    static const QStringList verde{"Ar", "Dr", "Ft", "Pr", "An", "Bt", "Vf", "Mp", "Tr"};
    static const QStringList azul{"Ca", "Od", "Pj"};
    static const QStringList amarela{"Hi"};
    static const QStringList neutra{"Aj", "Gu", "Lt", "Ma", "No", "Po", "Si", "Qv"};
    const QString c = codigo.value_or(QString());
    if (vermelha.contains(c))
        return Categoria::vermelha;
    if (verde.contains(c))
        return Categoria::verde;
    if (azul.contains(c))
        return Categoria::azul;
    if (amarela.contains(c))
        return Categoria::amarela;
    if (neutra.contains(c))
        return Categoria::neutra;
    return Categoria::nenhuma;
}

QColor cor(Categoria c, const Tema &t)
{
    switch (c) {
    case Categoria::vermelha: return t.vermelho;
    case Categoria::verde: return t.verde;
    case Categoria::azul: return t.azul;
    case Categoria::amarela: return t.amarelo;
    case Categoria::neutra:
    case Categoria::nenhuma: break;
    }
    return t.textoSec;
}

} // namespace Elementos
