#include "Pontos.h"

#include <QPainter>
#include <QPixmapCache>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <cmath>

#include "Desfoque.h"
#include "Movimento.h"

// The one clock of the live dots: a single timer, so any number of pulsing
// dots costs one batch of small repaints per tick.
class PulsoDosPontos : public QObject {
public:
    static PulsoDosPontos &instancia()
    {
        static PulsoDosPontos *unico = new PulsoDosPontos; // lives until the process ends
        return *unico;
    }
    qint64 agoraMs() const { return m_relogio.elapsed(); }
    void entrar(PontoVivo *p)
    {
        m_pontos.insert(p);
        if (!m_timer.isActive())
            m_timer.start();
    }
    void sair(PontoVivo *p)
    {
        m_pontos.remove(p);
        if (m_pontos.isEmpty())
            m_timer.stop();
    }

private:
    PulsoDosPontos()
    {
        m_relogio.start();
        m_timer.setInterval(PontoVivo::intervaloMs);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 agora = agoraMs();
            const QSet<PontoVivo *> pontos = m_pontos;
            for (PontoVivo *p : pontos)
                p->avancar(agora);
        });
    }
    QSet<PontoVivo *> m_pontos;
    QTimer m_timer;
    QElapsedTimer m_relogio;
};

PontoVivo::PontoVivo(const QColor &cor, qreal tamanho, bool aceso, QWidget *parent)
    : ComponenteOndrel(parent), m_cor(cor), m_tamanho(tamanho), m_aceso(aceso)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

PontoVivo::~PontoVivo() { parar(); }

void PontoVivo::setCor(const QColor &c) { m_cor = c; update(); }
void PontoVivo::setTamanho(qreal t) { m_tamanho = t; updateGeometry(); update(); }

void PontoVivo::setAceso(bool a)
{
    if (a == m_aceso)
        return;
    m_aceso = a;
    if (isVisible())
        reiniciar();
    update();
}

bool PontoVivo::comHalo() const { return m_aceso && !Movimento::reduzido(); }

bool PontoVivo::animando() const { return m_pulsando; }

void PontoVivo::setFase(qreal f)
{
    m_fase = f;
    update();
}

void PontoVivo::congelar(qreal fase)
{
    parar();
    setFase(fase);
}

QSize PontoVivo::sizeHint() const
{
    const int l = int(std::ceil(m_tamanho * escalaDoHalo));
    return {l, l};
}

void PontoVivo::pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool halo, qreal fase)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal r = tamanho / 2;
    if (halo) {
        const qreal escala = 1.0 + (escalaDoHalo - 1.0) * fase;
        const qreal opacidade = 0.9 * (1.0 - fase);
        p.setBrush(comOpacidade(comOpacidade(cor, 0.35), opacidade));
        p.drawEllipse(centro, r * escala, r * escala);
    }
    p.setBrush(cor);
    p.drawEllipse(centro, r, r);
    p.restore();
}

void PontoVivo::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    pintar(p, QRectF(rect()).center(), m_cor, m_tamanho, comHalo(), m_fase);
}

void PontoVivo::reiniciar()
{
    // The phase starts over each time the dot comes on screen.
    m_fase = 0;
    if (!comHalo()) {
        parar();
        return;
    }
    m_inicioMs = PulsoDosPontos::instancia().agoraMs();
    m_pulsando = true;
    PulsoDosPontos::instancia().entrar(this);
}

void PontoVivo::parar()
{
    if (!m_pulsando)
        return;
    m_pulsando = false;
    PulsoDosPontos::instancia().sair(this);
}

void PontoVivo::avancar(qint64 agoraMs)
{
    if (!comHalo()) { // reduced motion switched on meanwhile
        parar();
        update();
        return;
    }
    static const QEasingCurve curva = Movimento::saidaSuave();
    const qreal t = qreal((agoraMs - m_inicioMs) % periodoMs) / periodoMs;
    setFase(curva.valueForProgress(t));
}

void PontoVivo::showEvent(QShowEvent *) { reiniciar(); }

void PontoVivo::hideEvent(QHideEvent *) { parar(); }

Ponto::Ponto(const QColor &cor, qreal tamanho, bool aceso, QWidget *parent)
    : ComponenteOndrel(parent), m_cor(cor), m_tamanho(tamanho), m_aceso(aceso)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Ponto::setCor(const QColor &c) { m_cor = c; update(); }
void Ponto::setTamanho(qreal t) { m_tamanho = t; updateGeometry(); update(); }
void Ponto::setAceso(bool a) { m_aceso = a; update(); }

QSize Ponto::sizeHint() const
{
    const int l = int(std::ceil(m_tamanho + 2 * margem));
    return {l, l};
}

void Ponto::pintar(QPainter &p, const QPointF &centro, const QColor &cor, qreal tamanho, bool aceso)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (aceso) {
        // Glow: the dot's disc in the colour at 0.8, blurred by 4; cached.
        const qreal raio = 4;
        const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        const QColor brilho = comOpacidade(cor, 0.8);
        const QPixmap s = Desfoque::sombraArredondada(QSizeF(tamanho, tamanho), tamanho / 2, raio, brilho, dpr);
        const qreal m = Desfoque::alcance(raio);
        p.drawPixmap(centro - QPointF(tamanho / 2 + m, tamanho / 2 + m), s);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(cor);
    p.drawEllipse(centro, tamanho / 2, tamanho / 2);
    p.restore();
}

void Ponto::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    pintar(p, QRectF(rect()).center(), m_cor, m_tamanho, m_aceso);
}
