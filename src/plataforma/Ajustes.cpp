#include "Ajustes.h"

namespace Ajustes {

std::optional<bool> booleano(const QSettings &s, const QString &chave)
{
    const QVariant v = s.value(chave);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString();
        if (t == QLatin1String("true"))
            return true;
        if (t == QLatin1String("false"))
            return false;
    }
    return std::nullopt;
}

std::optional<QString> texto(const QSettings &s, const QString &chave)
{
    const QVariant v = s.value(chave);
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

} // namespace Ajustes
