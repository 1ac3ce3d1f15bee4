#pragma once
// The button of both apps: a capsule, strong (filled with `azul`, white
// label) or plain (the translucent material, label in `texto`), compact
// (height 24) or regular (height 30). It grows a little under the pointer,
// shrinks and sinks 1 point while pressed, and is drawn at 0.42 opacity when
// disabled.
#include <QAbstractButton>

#include "Componente.h"
#include "Movimento.h"

// How a button looks in one state; used by BotaoOndrel to paint and to size.
struct EstiloBotaoOndrel {
    bool forte = false;
    bool compacto = false;

    QFont fonte() const;
    qreal altura() const { return compacto ? 24 : 30; }
    qreal margemHorizontal() const { return compacto ? 10 : 14; }
    QColor corDoRotulo(const Tema &t) const { return forte ? QColor(Qt::white) : t.texto; }
    QColor fundo(const Tema &t) const { return forte ? t.azul : Material::ultraFinoDeControle(t); }
    static qreal opacidadeDoBrilho(bool pressionado) { return pressionado ? 0.05 : 0.28; }
    static qreal opacidade(bool habilitado) { return habilitado ? 1.0 : 0.42; }
    static qreal escala(bool pressionado, bool sobre)
    {
        return pressionado ? 0.97 : (sobre ? 1.02 : 1.0);
    }
    static Mola molaDoToque() { return {0.25, 0.8}; }
    static Mola molaDoPonteiro() { return {0.18, 1.0}; }

    // The capsule for a label `rotulo` (with an icon of `icone` points, 0 for none).
    QSizeF tamanhoDaCapsula(const QString &rotulo, qreal icone = 0) const;
    // Paints the capsule filling `capsula` at scale 1, then scaled about its
    // centre by `escala` and moved down by `descida`.
    void pintar(QPainter &p, const QRectF &capsula, const Tema &t, const QString &rotulo, const QIcon &icone,
                bool habilitado, bool pressionado, qreal escala, qreal descida) const;
};

class BotaoOndrel : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool forte READ forte WRITE setForte)
    Q_PROPERTY(bool compacto READ compacto WRITE setCompacto)
public:
    explicit BotaoOndrel(const QString &texto = {}, bool forte = false, QWidget *parent = nullptr);

    bool forte() const { return m_estilo.forte; }
    void setForte(bool f);
    bool compacto() const { return m_estilo.compacto; }
    void setCompacto(bool c);
    const EstiloBotaoOndrel &estilo() const { return m_estilo; }

    bool sobre() const { return m_sobre; }
    // Shows a pointer/press state at once, without animation (previews and
    // the gallery). A disabled button never takes the hover state.
    void mostrarEstado(bool sobre, bool pressionado);
    qreal escalaAtual() const { return m_escala; }
    // The capsule inside the widget (the widget keeps a small margin so the
    // hover growth is not clipped).
    QRectF capsula() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    bool hitButton(const QPoint &pos) const override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void atualizarSobre(const QPointF &pos, bool dentro);
    void animarEscala(const Mola &mola);
    QMarginsF margemExterna(qreal larguraDoWidget) const;

    EstiloBotaoOndrel m_estilo;
    bool m_sobre = false;
    bool m_pressionadoPintado = false;
    qreal m_escala = 1.0;
    qreal m_descida = 0.0;
    AnimacaoMola *m_anim = nullptr;
};

// A button with the Ondrel style.
BotaoOndrel *botaoOndrel(const QString &texto, bool forte, QWidget *parent = nullptr);
