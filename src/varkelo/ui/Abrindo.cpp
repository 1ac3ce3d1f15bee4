#include "Abrindo.h"

#include "Acessibilidade.h"
#include "Desfoque.h"
#include "FundoDoTema.h"
#include "OndrelFontes.h"
#include "TemaAtual.h"

#include <QPainter>

namespace {
constexpr qreal lado = 104;   // the mark's frame
constexpr qreal espaco = 14;  // between the mark and the status line

void desenharMarca(QPainter &p, const QRectF &quadro, const QColor &cor)
{
    p.setFont(OndrelFontes::fonte(OndrelFontes::barlow(), QFont::Bold, 64));
    p.setPen(cor);
    p.drawText(quadro, Qt::AlignCenter, QStringLiteral("V"));
    p.setBrush(Qt::NoBrush);
    QColor anel = cor;
    anel.setAlphaF(float(cor.alphaF() * 0.9));
    p.setPen(QPen(anel, 2));
    p.drawEllipse(quadro.adjusted(1, 1, -1, -1));
}
} // namespace

Abrindo::Abrindo(EstadoVarkelo *estado, QWidget *parent) : QWidget(parent), estado_(estado)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    TemaAtual::seguir(this);
    if (estado) {
        connect(estado, &EstadoVarkelo::origemMudou, this, qOverload<>(&QWidget::update));
    }
    pulso_.setStartValue(0.0);
    pulso_.setEndValue(1.0);
    pulso_.setDuration(1400);
    pulso_.setEasingCurve(QEasingCurve::InOutSine);
    connect(&pulso_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        luz_ = v.toReal();
        update(rect().center().x() - 90, rect().center().y() - 150, 180, 180);
    });
    // Ease in and out, reversing, for ever.
    connect(&pulso_, &QVariantAnimation::finished, this, [this] {
        pulso_.setDirection(pulso_.direction() == QAbstractAnimation::Forward ? QAbstractAnimation::Backward
                                                                              : QAbstractAnimation::Forward);
        pulso_.start();
    });
}

QString Abrindo::textoDoEstado(const EstadoVarkelo &e)
{
    if (!e.origem())
        return QStringLiteral("Procurando o Quilvo…");
    if (e.tipoOrigem() == TipoOrigem::dev)
        return QStringLiteral("Abrindo o servidor de desenvolvimento");
    if (e.viaQuilvo())
        return QStringLiteral("Abrindo pelo Quilvo deste Mac");
    return QStringLiteral("Abrindo pela nuvem");
}

QString Abrindo::texto() const { return estado_ ? textoDoEstado(*estado_) : QString(); }

void Abrindo::fixarLuz(qreal v)
{
    fixa_ = true;
    pulso_.stop();
    luz_ = v;
    update();
}

void Abrindo::showEvent(QShowEvent *)
{
    if (!fixa_ && !Acessibilidade::agora().menosMovimento && pulso_.state() != QAbstractAnimation::Running)
        pulso_.start();
}

void Abrindo::hideEvent(QHideEvent *) { pulso_.stop(); }

QPixmap Abrindo::sombra(bool acesa, qreal dpr)
{
    const Tema &t = TemaAtual::atual();
    if (temaDasSombras_ != t.id) {
        sombras_[0] = sombras_[1] = QPixmap();
        temaDasSombras_ = t.id;
    }
    QPixmap &cache = sombras_[acesa ? 1 : 0];
    if (!cache.isNull())
        return cache;
    // The shadow of the mark: its shape in `azul`, blurred.
    const qreal raio = acesa ? 28 : 6;
    const qreal margem = Desfoque::alcance(raio);
    const QSizeF s(lado + 2 * margem, lado + 2 * margem);
    QImage img(QSize(int(s.width() * dpr), int(s.height() * dpr)), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        QColor c = t.azul;
        c.setAlphaF(acesa ? 0.55f : 0.1f);
        desenharMarca(p, QRectF(margem, margem, lado, lado), c);
    }
    Desfoque::desfocar(img, raio * dpr);
    img.setDevicePixelRatio(dpr);
    cache = QPixmap::fromImage(img);
    return cache;
}

void Abrindo::paintEvent(QPaintEvent *)
{
    const Tema &t = TemaAtual::atual();
    QPainter p(this);
    FundoDoTema::pintar(p, rect(), t);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QFont fonte = OndrelFontes::fonte(OndrelFontes::inter(), QFont::Normal, 12.5);
    const qreal alturaTexto = QFontMetricsF(fonte).height();
    const qreal total = lado + espaco + alturaTexto;
    const QRectF marca((width() - lado) / 2, (height() - total) / 2, lado, lado);

    // The glow pulses between its two states.
    const qreal dpr = devicePixelRatioF();
    for (int acesa = 0; acesa < 2; ++acesa) {
        const qreal peso = acesa ? luz_ : 1 - luz_;
        if (peso <= 0.001)
            continue;
        const QPixmap s = sombra(acesa, dpr);
        const qreal margem = Desfoque::alcance(acesa ? 28 : 6);
        p.setOpacity(peso);
        p.drawPixmap(QPointF(marca.x() - margem, marca.y() - margem), s);
    }
    p.setOpacity(1);
    desenharMarca(p, marca, t.texto);

    p.setFont(fonte);
    p.setPen(t.textoSec);
    p.drawText(QRectF(0, marca.bottom() + espaco, width(), alturaTexto), Qt::AlignHCenter | Qt::AlignTop, texto());
    Q_EMIT pintado();
}
