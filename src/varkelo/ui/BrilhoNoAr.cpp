#include "BrilhoNoAr.h"

#include "Acessibilidade.h"
#include "Tema.h"
#include "TemaAtual.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>
#include <cmath>

namespace {

constexpr int passosDoAngulo = 1024;

// The system's ease-in-ease-out timing curve.
const QEasingCurve &suave()
{
    static const QEasingCurve c = [] {
        QEasingCurve e(QEasingCurve::BezierSpline);
        e.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
        return e;
    }();
    return c;
}

inline quint32 multiplicar(quint32 c, quint32 f) // f in 0..256
{
    quint32 rb = ((c & 0x00ff00ffu) * f) >> 8;
    quint32 ag = ((c >> 8) & 0x00ff00ffu) * f;
    return (rb & 0x00ff00ffu) | (ag & 0xff00ff00u);
}

inline quint32 misturar(quint32 a, quint32 b, quint32 t) // t in 0..256
{
    return multiplicar(a, 256 - t) + multiplicar(b, t);
}

} // namespace

VistaBrilho::VistaBrilho(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    relogio_.start();
    quadro_.setInterval(intervaloMs);
    quadro_.setTimerType(Qt::PreciseTimer);
    connect(&quadro_, &QTimer::timeout, this, &VistaBrilho::tique);
}

QImage VistaBrilho::desenharAnel(QSizeF tamanho, qreal escala)
{
    const int w = int(tamanho.width() * escala), h = int(tamanho.height() * escala);
    if (w <= 0 || h <= 0)
        return {};
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return {};
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(escala, escala);
    p.setBrush(Qt::NoBrush);
    const QRectF todo(0, 0, tamanho.width(), tamanho.height());
    for (int i = 34; i >= 0; --i) {
        const qreal d = 2.6 * i;
        const QRectF r = todo.adjusted(d, d, -d, -d);
        if (r.width() <= 0 || r.height() <= 0)
            continue;
        const qreal raio = qMax(18 - 0.3 * d, 2.0);
        p.setPen(QPen(QColor::fromRgbF(1, 1, 1, float(0.55 * std::pow(0.9, i))), 5));
        p.drawRoundedRect(r, raio, raio);
    }
    p.setPen(QPen(Qt::white, 3));
    p.drawRoundedRect(todo.adjusted(1.5, 1.5, -1.5, -1.5), 18, 18);
    return img;
}

void VistaBrilho::resizeEvent(QResizeEvent *) { layout(); }

void VistaBrilho::layout()
{
    escala_ = (window() && window()->windowHandle()) ? window()->devicePixelRatioF() : 2.0;
    const QSize s = size();
    if (!anel_.isNull() && qAbs(s.width() - tamanhoDoAnel_.width()) <= 1
        && qAbs(s.height() - tamanhoDoAnel_.height()) <= 1)
        return;
    tamanhoDoAnel_ = s;
    anel_ = desenharAnel(QSizeF(s), escala_);
    anel_.setDevicePixelRatio(escala_);
    ++desenhosDoAnel_;
    prepararPixels();
}

void VistaBrilho::prepararPixels()
{
    offsets_.clear();
    alfas_.clear();
    angulos_.clear();
    if (anel_.isNull()) {
        quadro_img_ = QImage();
        return;
    }
    const int w = anel_.width(), h = anel_.height();
    quadro_img_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    quadro_img_.setDevicePixelRatio(escala_);
    quadro_img_.fill(Qt::transparent);
    const qreal cx = w / 2.0, cy = h / 2.0;
    for (int y = 0; y < h; ++y) {
        const QRgb *linha = reinterpret_cast<const QRgb *>(anel_.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int a = qAlpha(linha[x]);
            if (a == 0)
                continue;
            // 0 at the top, growing clockwise.
            qreal t = std::atan2(x + 0.5 - cx, cy - (y + 0.5)) / (2 * M_PI);
            if (t < 0)
                t += 1;
            offsets_.append(quint32(y) * quint32(w) + quint32(x));
            alfas_.append(quint8(a));
            angulos_.append(quint16(int(t * passosDoAngulo) % passosDoAngulo));
        }
    }
    sujo_ = true;
}

void VistaBrilho::montarTabela(const QList<QColor> &cores, QVector<quint32> &tabela) const
{
    tabela.resize(passosDoAngulo);
    if (cores.isEmpty()) {
        tabela.fill(0);
        return;
    }
    const int n = int(cores.size());
    for (int i = 0; i < passosDoAngulo; ++i) {
        const qreal t = qreal(i) / passosDoAngulo;
        QColor c;
        if (n == 1) {
            c = cores.first();
        } else {
            const qreal pos = t * (n - 1);
            const int k = qMin(int(pos), n - 2);
            const qreal f = pos - k;
            const QColor a = cores[k], b = cores[k + 1];
            c = QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f),
                                 float(a.greenF() + (b.greenF() - a.greenF()) * f),
                                 float(a.blueF() + (b.blueF() - a.blueF()) * f),
                                 float(a.alphaF() + (b.alphaF() - a.alphaF()) * f));
        }
        tabela[i] = qPremultiply(c.rgba());
    }
}

qreal VistaBrilho::opacidadeAtual() const
{
    const qreal t = qBound(0.0, (agoraMs() - inicioFade_) / fadeMs, 1.0);
    return fadeDe_ + (fadePara_ - fadeDe_) * suave().valueForProgress(t);
}

void VistaBrilho::configurar(const QList<QColor> &cores, bool aceso, bool mover)
{
    const qreal agora = agoraMs();
    // Colours cross-fade over 0.6 s.
    if (cores != coresAlvo_) {
        if (!tabela_.isEmpty()) {
            // Start from what is shown now (possibly mid cross-fade).
            QVector<quint32> atual(passosDoAngulo);
            const qreal t = qBound(0.0, (agora - inicioCores_) / coresMs, 1.0);
            const quint32 ti = quint32(t * 256);
            for (int i = 0; i < passosDoAngulo; ++i)
                atual[i] = tabelaAntes_.isEmpty() ? tabela_[i] : misturar(tabelaAntes_[i], tabela_[i], ti);
            tabelaAntes_ = atual;
            inicioCores_ = agora;
        }
        coresAntes_ = coresAlvo_;
        coresAlvo_ = cores;
        montarTabela(cores, tabela_);
        if (tabelaAntes_.isEmpty())
            inicioCores_ = -1e9;
        sujo_ = true;
    }
    // The switch fades over 0.9 s from what is presented now.
    if (aceso != aceso_) {
        fadeDe_ = opacidadeAtual();
        fadePara_ = aceso ? 1.0 : 0.0;
        inicioFade_ = agora;
        aceso_ = aceso;
    }
    mover_ = mover;
    if (aceso && mover) {
        if (!girando_) {
            girando_ = true;
            inicioGiro_ = agora;
        }
    } else if (girando_) {
        // Switching off keeps the ring turning while it fades out.
        QPointer<VistaBrilho> eu(this);
        QTimer::singleShot(aceso ? 0 : 1000, this, [eu, mover] {
            if (eu && !(mover && eu->aceso_)) {
                eu->girando_ = false;
                eu->sujo_ = true;
                eu->update();
            }
        });
    }
    if (!quadro_.isActive())
        quadro_.start();
    update();
}

void VistaBrilho::tique()
{
    const qreal agora = agoraMs();
    const bool fadeAndando = agora - inicioFade_ < fadeMs;
    const bool coresAndando = agora - inicioCores_ < coresMs;
    sujo_ = true;
    update();
    if (!girando_ && !fadeAndando && !coresAndando) {
        tabelaAntes_.clear();
        quadro_.stop();
    }
}

void VistaBrilho::compor()
{
    if (quadro_img_.isNull() || tabela_.isEmpty())
        return;
    const qreal agora = agoraMs();
    // Rotation (clockwise, 7 s a turn) and breathing (1 → 0.72, 1.9 s each way).
    int giro = 0;
    qreal respiro = 1;
    if (girando_) {
        const qreal t = std::fmod(agora - inicioGiro_, qreal(giroMs)) / giroMs;
        giro = int(t * passosDoAngulo) % passosDoAngulo;
        const qreal ciclo = std::fmod(agora - inicioGiro_, 2.0 * respiroMs) / respiroMs;
        const qreal ida = ciclo <= 1 ? ciclo : 2 - ciclo;
        respiro = 1 - 0.28 * suave().valueForProgress(ida);
    }
    const quint32 k = quint32(qBound(0.0, opacidadeAtual() * respiro, 1.0) * 256);

    // The colour table, mid cross-fade when needed.
    const QVector<quint32> *tabela = &tabela_;
    QVector<quint32> mistura;
    const qreal tc = (agora - inicioCores_) / coresMs;
    if (!tabelaAntes_.isEmpty() && tc < 1) {
        mistura.resize(passosDoAngulo);
        const quint32 ti = quint32(qBound(0.0, tc, 1.0) * 256);
        for (int i = 0; i < passosDoAngulo; ++i)
            mistura[i] = misturar(tabelaAntes_[i], tabela_[i], ti);
        tabela = &mistura;
    }

    quint32 *px = reinterpret_cast<quint32 *>(quadro_img_.bits());
    const quint32 *tab = tabela->constData();
    const quint32 *off = offsets_.constData();
    const quint8 *alf = alfas_.constData();
    const quint16 *ang = angulos_.constData();
    const int n = int(offsets_.size());
    for (int i = 0; i < n; ++i) {
        const quint32 cor = tab[(ang[i] + passosDoAngulo - giro) & (passosDoAngulo - 1)];
        const quint32 f = (quint32(alf[i]) * k + 128) >> 8;
        px[off[i]] = multiplicar(cor, f + (f >> 7));
    }
    sujo_ = false;
}

QImage VistaBrilho::quadroAtual()
{
    if (sujo_)
        compor();
    return quadro_img_;
}

void VistaBrilho::paintEvent(QPaintEvent *)
{
    if (opacidadeAtual() <= 0.001 && !quadro_.isActive())
        return;
    if (sujo_)
        compor();
    if (quadro_img_.isNull())
        return;
    QPainter p(this);
    // The glow adds light to what is below it.
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    // Only the band along the edges holds light (about 92 points deep).
    const int faixa = qMin(94, qMin(width(), height()) / 2 + 1);
    const QRect partes[] = {QRect(0, 0, width(), faixa), QRect(0, height() - faixa, width(), faixa),
                            QRect(0, faixa, faixa, height() - 2 * faixa),
                            QRect(width() - faixa, faixa, faixa, height() - 2 * faixa)};
    for (const QRect &r : partes) {
        if (r.isEmpty())
            continue;
        const QRectF fonte(r.x() * escala_, r.y() * escala_, r.width() * escala_, r.height() * escala_);
        p.drawImage(QRectF(r), quadro_img_, fonte);
    }
}

// ---------------------------------------------------------------------------

BrilhoNoAr::BrilhoNoAr(EstadoVarkelo *estado, VistaBrilho *vista) : QObject(vista), estado_(estado), vista_(vista)
{
    if (estado)
        connect(estado, &EstadoVarkelo::noArMudou, this, &BrilhoNoAr::atualizar);
    connect(TemaAtual::instancia(), &TemaAtual::temaMudou, this, &BrilhoNoAr::atualizar);
    connect(Acessibilidade::instancia(), &Acessibilidade::mudou, this, &BrilhoNoAr::atualizar);
    atualizar();
}

QList<QColor> BrilhoNoAr::cores(const NoAr &n, const Tema &t)
{
    if (n.rec)
        return {t.vermelho, t.laranja, t.vermelho, comOpacidade(t.laranja, 0.85), t.vermelho};
    return {t.azul, t.verde, comOpacidade(t.azul, 0.75), comOpacidade(t.texto, 0.6), t.verde, t.azul};
}

void BrilhoNoAr::atualizar()
{
    if (!vista_)
        return;
    const NoAr n = estado_ ? estado_->noAr() : NoAr{};
    vista_->configurar(cores(n, TemaAtual::atual()), n.algum(), !Acessibilidade::agora().menosMovimento);
}
