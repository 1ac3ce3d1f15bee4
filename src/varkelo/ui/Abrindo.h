#pragma once
// The opening screen: the product's mark with a pulsing glow and one status
// line saying where the page is being opened from, on the theme background.
#include "EstadoVarkelo.h"

#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class Abrindo : public QWidget
{
    Q_OBJECT
public:
    explicit Abrindo(EstadoVarkelo *estado, QWidget *parent = nullptr);

    // The status line for a state.
    static QString textoDoEstado(const EstadoVarkelo &e);
    QString texto() const;
    // 0: the glow at rest (opacity 0.1, radius 6); 1: lit (0.55, 28).
    qreal luz() const { return luz_; }
    // Freezes the pulse (snapshots).
    void fixarLuz(qreal v);

Q_SIGNALS:
    void pintado();

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    QPixmap sombra(bool acesa, qreal dpr);

    QPointer<EstadoVarkelo> estado_;
    QVariantAnimation pulso_;
    qreal luz_ = 0;
    bool fixa_ = false;
    QPixmap sombras_[2];
    QString temaDasSombras_;
};
