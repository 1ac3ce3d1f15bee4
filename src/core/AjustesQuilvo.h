#pragma once
// Quilvo's own settings store (~/.config/Quilvo/Quilvo.conf).
#include <QSettings>

class AjustesQuilvo : public QSettings {
public:
    AjustesQuilvo()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quilvo"), QStringLiteral("Quilvo"))
    {
    }
};
