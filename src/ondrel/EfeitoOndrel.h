#pragma once
// The one graphics effect a component carries: an optional drop shadow of its
// rounded shape (surfaces) and the entrance of `aparecer` (opacity and a
// downward offset). The source is drawn straight to the screen, never through
// an offscreen copy, so a repaint inside costs only a shadow blit.
#include <QGraphicsEffect>

class EfeitoOndrel : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit EfeitoOndrel(QObject *parent = nullptr) : QGraphicsEffect(parent) {}

    // The effect of `w`, created when it has none. Returns nullptr when `w`
    // already carries another kind of effect.
    static EfeitoOndrel *de(QWidget *w);

    struct Sombra {
        QColor cor;          // with its opacity
        qreal raio = 0;      // blur radius
        QPointF deslocamento;
        qreal canto = 16;    // corner radius of the shape
    };
    void definirSombra(const Sombra &s);
    void removerSombra();
    bool temSombra() const { return m_temSombra; }

    void definirEntrada(qreal opacidade, qreal deslocamentoY);
    qreal opacidade() const { return m_opacidade; }
    qreal deslocamentoY() const { return m_dy; }

    QRectF boundingRectFor(const QRectF &r) const override;

protected:
    void draw(QPainter *p) override;

private:
    bool m_temSombra = false;
    Sombra m_sombra;
    qreal m_opacidade = 1;
    qreal m_dy = 0;
};
