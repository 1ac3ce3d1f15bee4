#pragma once
// The glow ring: while something is on air, a ring of light hugs the inside
// edge of the window, fading towards the centre, turning its colours around
// (7 s a turn) and breathing (1.9 s). It never takes a click.
//
// The ring mask is drawn once per size change. Each frame only recolours the
// pixels where the mask is not empty, from a precomputed angle per pixel and
// a colour table of the conic gradient, so nothing else is redrawn.
#include "EstadoVarkelo.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <QWidget>

struct Tema;

class VistaBrilho : public QWidget
{
    Q_OBJECT
public:
    explicit VistaBrilho(QWidget *parent = nullptr);

    void configurar(const QList<QColor> &cores, bool aceso, bool mover);

    // The ring mask for a size in points at scale `escala`; null when
    // either side is empty.
    static QImage desenharAnel(QSizeF tamanho, qreal escala);

    bool aceso() const { return aceso_; }
    bool girando() const { return girando_; }
    // True while any timer-driven change is running (turning, breathing,
    // fading, colour cross-fade).
    bool animando() const { return quadro_.isActive(); }
    qreal opacidadeAtual() const;
    const QImage &anel() const { return anel_; }
    QSize tamanhoDoAnel() const { return tamanhoDoAnel_; }
    int desenhosDoAnel() const { return desenhosDoAnel_; }
    QList<QColor> cores() const { return coresAlvo_; }
    // The frame as it is composed now (for tests and snapshots).
    QImage quadroAtual();

    static constexpr int giroMs = 7000;
    static constexpr int respiroMs = 1900;
    static constexpr int fadeMs = 900;
    static constexpr int coresMs = 600;
    static constexpr int intervaloMs = 40; // 25 frames a second

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;

private:
    void layout();
    void prepararPixels();
    void tique();
    void compor();
    void montarTabela(const QList<QColor> &cores, QVector<quint32> &tabela) const;
    qreal agoraMs() const { return qreal(relogio_.nsecsElapsed()) / 1e6; }

    QImage anel_;
    QSize tamanhoDoAnel_;
    int desenhosDoAnel_ = 0;
    qreal escala_ = 1;

    // Pixels where the mask lets light through: their offset in the frame,
    // the mask alpha and the angle (0..1023) around the centre.
    QVector<quint32> offsets_;
    QVector<quint8> alfas_;
    QVector<quint16> angulos_;
    QImage quadro_img_;
    bool sujo_ = true;

    QList<QColor> coresAlvo_, coresAntes_;
    QVector<quint32> tabela_, tabelaAntes_;
    qreal inicioCores_ = -1e9;

    bool aceso_ = false;
    bool mover_ = false;
    bool girando_ = false;
    qreal inicioGiro_ = 0;
    qreal fadeDe_ = 0, fadePara_ = 0, inicioFade_ = -1e9;

    QElapsedTimer relogio_;
    QTimer quadro_;
};

// Turns the on-air flags and the theme into the ring's colours and switches.
class BrilhoNoAr : public QObject
{
    Q_OBJECT
public:
    BrilhoNoAr(EstadoVarkelo *estado, VistaBrilho *vista);
    static QList<QColor> cores(const NoAr &n, const Tema &t);
    void atualizar();

private:
    QPointer<EstadoVarkelo> estado_;
    QPointer<VistaBrilho> vista_;
};
