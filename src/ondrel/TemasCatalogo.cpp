#include "TemasCatalogo.h"

namespace TemasCatalogo {
bool contem(const QString &) { return false; }
}
