#pragma once
// The surface every card sits on: a rounded rectangle (corner 16) in three
// kinds, with the content padded inside and given the full width.
#include <QPainterPath>
#include <QVBoxLayout>

#include "Componente.h"

enum class Superficie { elevada, comum, rebaixada };

class ModificadorSuperficie : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit ModificadorSuperficie(Superficie tipo = Superficie::elevada, qreal preenchimento = 16,
                                   QWidget *parent = nullptr);

    Superficie tipo() const { return m_tipo; }
    void setTipo(Superficie tipo);
    qreal preenchimento() const { return m_preenchimento; }
    void setPreenchimento(qreal p);
    // The layout the content goes into (margins = preenchimento).
    QVBoxLayout *conteudo() const { return m_layout; }

    static constexpr qreal canto = 16;
    static QPainterPath forma(const QRectF &r);

    // What each kind draws, from the theme.
    struct Aparencia {
        QColor fundo;        // painel (raised/plain) or black (sunken), with opacity
        QColor material;     // the stand-in for the system material; clear when none
        QColor borda;
        QColor sombraInterna; // sunken only
        QColor sombra;        // drop shadow; clear when none
        qreal raioSombra = 0;
        QPointF deslocamentoSombra;
    };
    static Aparencia aparencia(Superficie tipo, const Tema &t);
    static void pintar(QPainter &p, const QRectF &r, Superficie tipo, const Tema &t);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void aplicarSombra();
    Superficie m_tipo;
    qreal m_preenchimento;
    QVBoxLayout *m_layout;
};

// Wraps `conteudo` in a surface and returns the surface (the content becomes
// its child).
ModificadorSuperficie *superficie(QWidget *conteudo, Superficie tipo = Superficie::elevada, qreal preenchimento = 16);
