#pragma once
#include <QString>

namespace TemasCatalogo {
// Whether the catalogue knows this theme identifier.
bool contem(const QString &id);
}
