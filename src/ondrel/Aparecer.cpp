#include "Aparecer.h"

#include <QEvent>
#include <QTimer>

#include "EfeitoOndrel.h"
#include "Movimento.h"

Aparecer::Aparecer(QWidget *w, int ordem) : QObject(w), m_widget(w), m_ordem(ordem)
{
    setObjectName(QStringLiteral("Aparecer"));
    m_reduzido = Movimento::reduzido();
    aplicar(0);
    w->installEventFilter(this);
    if (w->isVisible())
        QTimer::singleShot(0, this, &Aparecer::comecar);
}

Aparecer *Aparecer::de(QWidget *w)
{
    return w ? w->findChild<Aparecer *>(QStringLiteral("Aparecer"), Qt::FindDirectChildrenOnly) : nullptr;
}

int Aparecer::atrasoMs() const { return Movimento::reduzido() ? 0 : qRound(m_ordem * atrasoPorOrdem * 1000); }

qreal Aparecer::deslocamentoInicial() const { return Movimento::reduzido() ? 0 : deslocamento; }

bool Aparecer::eventFilter(QObject *o, QEvent *e)
{
    if (o == m_widget && e->type() == QEvent::Show && !m_visto)
        comecar();
    return false;
}

void Aparecer::comecar()
{
    if (m_visto || !m_widget)
        return;
    m_visto = true;
    m_reduzido = Movimento::reduzido();
    aplicar(0);
    m_animacao = new AnimacaoMola(Mola{0.42, 1.0}, this);
    m_animacao->setStartValue(0.0);
    m_animacao->setEndValue(1.0);
    connect(m_animacao, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) { aplicar(v.toReal()); });
    connect(m_animacao, &QAbstractAnimation::finished, this, [this] {
        aplicar(1);
        emit terminou();
    });
    QTimer::singleShot(atrasoMs(), this, [this] {
        if (m_animacao && !m_congelado)
            m_animacao->start();
    });
}

void Aparecer::mostrarProgresso(qreal p)
{
    m_visto = true;
    m_congelado = true;
    m_reduzido = Movimento::reduzido();
    if (m_animacao)
        m_animacao->stop();
    aplicar(p);
}

void Aparecer::aplicar(qreal p)
{
    m_progresso = p;
    EfeitoOndrel *e = EfeitoOndrel::de(m_widget);
    if (!e)
        return;
    const qreal dy = m_reduzido ? 0 : deslocamento * (1 - p);
    e->definirEntrada(std::clamp<qreal>(p, 0, 1), dy);
}

Aparecer *aparecer(QWidget *conteudo, int ordem)
{
    if (!conteudo)
        return nullptr;
    if (Aparecer *a = Aparecer::de(conteudo)) {
        if (!a->visto())
            a->m_ordem = ordem;
        return a;
    }
    return new Aparecer(conteudo, ordem);
}
