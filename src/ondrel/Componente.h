#pragma once
// Base of the painted components: reads the current theme when it paints and
// repaints whenever the theme changes.
#include <QWidget>

#include "Tema.h"
#include "TemaAtual.h"

class ComponenteOndrel : public QWidget {
    Q_OBJECT
public:
    explicit ComponenteOndrel(QWidget *parent = nullptr) : QWidget(parent) { TemaAtual::seguir(this); }
    static const Tema &tema() { return TemaAtual::atual(); }
};

namespace Material {
// The translucent fill that stands in for the system's ultra-thin material
// (there is no live blur behind windows here): a faint light wash over the
// theme's own colours.
inline QColor ultraFino(const Tema &t)
{
    return t.escuro ? QColor::fromRgbF(1, 1, 1, 0.06f) : QColor::fromRgbF(1, 1, 1, 0.45f);
}
// The same material on a control (a plain button): on light themes a white
// wash would vanish on the white cards it sits on, so it darkens a little.
inline QColor ultraFinoDeControle(const Tema &t)
{
    return t.escuro ? QColor::fromRgbF(1, 1, 1, 0.08f) : QColor::fromRgbF(0, 0, 0, 0.06f);
}
} // namespace Material
