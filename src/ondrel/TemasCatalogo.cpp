#include "TemasCatalogo.h"

#include "Tema.h"

namespace TemasCatalogo {
bool contem(const QString &id)
{
    for (const Tema &t : Tema::todos())
        if (t.id == id)
            return true;
    return false;
}
}
