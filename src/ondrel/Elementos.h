#pragma once
// The element codes of the tiles and their colour categories.
#include <QColor>
#include <QString>
#include <optional>

#include "Tema.h"

namespace Elementos {

enum class Categoria { vermelha, verde, azul, amarela, neutra, nenhuma };

// Exact, case-sensitive match against the lists; an absent code counts as "".
Categoria categoria(const std::optional<QString> &codigo);

// The theme colour of a category (textoSec for neutra and nenhuma).
QColor cor(Categoria c, const Tema &t);

} // namespace Elementos
