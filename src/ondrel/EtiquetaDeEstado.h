#pragma once
// The status badge: an upper-case caption in a capsule filled with the page
// colour, with a solid or dashed border.
#include <optional>

#include "Componente.h"

class EtiquetaDeEstado : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit EtiquetaDeEstado(const QString &texto = {}, std::optional<QColor> cor = std::nullopt,
                              bool tracejada = false, QWidget *parent = nullptr);

    QString texto() const { return m_texto; }
    void setTexto(const QString &t);
    std::optional<QColor> cor() const { return m_cor; }
    void setCor(std::optional<QColor> c);
    bool tracejada() const { return m_tracejada; }
    void setTracejada(bool t);

    // The colours actually drawn in the current theme.
    QColor corDoTexto() const { return m_cor.value_or(tema().textoSec); }
    QColor corDaBorda() const { return m_cor.value_or(tema().borda); }

    static QFont fonte(qreal escala = 1.0);
    static constexpr qreal menorEscala = 0.7;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_texto;
    std::optional<QColor> m_cor;
    bool m_tracejada;
};
