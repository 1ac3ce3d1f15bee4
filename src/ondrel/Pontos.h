#pragma once
// The live dot (a dot with a halo that swells and fades out again and again)
// and the plain dot (with a glow when lit).
#include <QColor>

#include "Componente.h"

class PulsoDosPontos;

class PontoVivo : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit PontoVivo(const QColor &cor = Qt::green, qreal tamanho = 8, bool aceso = true,
                       QWidget *parent = nullptr);
    ~PontoVivo() override;

    QColor cor() const { return m_cor; }
    void setCor(const QColor &c);
    qreal tamanho() const { return m_tamanho; }
    void setTamanho(qreal t);
    bool aceso() const { return m_aceso; }
    void setAceso(bool a);

    // Whether the halo is drawn: lit and motion not reduced.
    bool comHalo() const;
    // Pulse progress 0..1 (0: halo at the dot, 0.9 opaque; 1: 2.6 times, gone).
    qreal fase() const { return m_fase; }
    void setFase(qreal f);
    bool animando() const;
    // Stops the pulse at `fase` (previews and the gallery).
    void congelar(qreal fase);

    static constexpr qreal escalaDoHalo = 2.6;
    static constexpr int periodoMs = 1600;
    // Every live dot follows one shared clock at this interval (about 30
    // frames a second: a soft fading halo needs no more).
    static constexpr int intervaloMs = 33;
    static void pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool halo, qreal fase);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    friend class PulsoDosPontos;
    void reiniciar();
    void parar();
    void avancar(qint64 agoraMs);
    QColor m_cor;
    qreal m_tamanho;
    bool m_aceso;
    qreal m_fase = 0;
    bool m_pulsando = false;
    qint64 m_inicioMs = 0;
};

class Ponto : public ComponenteOndrel {
    Q_OBJECT
public:
    explicit Ponto(const QColor &cor = Qt::green, qreal tamanho = 8, bool aceso = false, QWidget *parent = nullptr);

    QColor cor() const { return m_cor; }
    void setCor(const QColor &c);
    qreal tamanho() const { return m_tamanho; }
    void setTamanho(qreal t);
    bool aceso() const { return m_aceso; }
    void setAceso(bool a);

    // The widget keeps this margin around the dot for its glow.
    static constexpr qreal margem = 4;
    static void pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool aceso);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QColor m_cor;
    qreal m_tamanho;
    bool m_aceso;
};
