#pragma once
// The staggered entrance: content arrives faded in and slid up by 8 points,
// block `ordem` of a screen 0.055 s after block `ordem - 1`. With reduced
// motion it only fades, at once.
#include <QObject>
#include <QPointer>
#include <QWidget>

class AnimacaoMola;
class EfeitoOndrel;

class Aparecer : public QObject {
    Q_OBJECT
public:
    // The entrance of `w` (nullptr when none was attached).
    static Aparecer *de(QWidget *w);

    int ordem() const { return m_ordem; }
    bool visto() const { return m_visto; }
    // 0 before the entrance, 1 when it has finished.
    qreal progresso() const { return m_progresso; }
    int atrasoMs() const;          // ordem × 55 ms, 0 with reduced motion
    qreal deslocamentoInicial() const; // 8, 0 with reduced motion

    static constexpr qreal deslocamento = 8;
    static constexpr qreal atrasoPorOrdem = 0.055;

    // Freezes the entrance at `progresso` (previews and the gallery).
    void mostrarProgresso(qreal progresso);

signals:
    void terminou();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    friend Aparecer *aparecer(QWidget *, int);
    Aparecer(QWidget *w, int ordem);
    void comecar();
    void aplicar(qreal progresso);

    QPointer<QWidget> m_widget;
    int m_ordem;
    bool m_visto = false;
    bool m_reduzido = false;
    bool m_congelado = false;
    qreal m_progresso = 0;
    AnimacaoMola *m_animacao = nullptr;
};

// Gives `conteudo` the staggered entrance (once; a second call only changes
// the order before it has started) and returns it.
Aparecer *aparecer(QWidget *conteudo, int ordem);
