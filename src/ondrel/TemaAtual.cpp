#include "TemaAtual.h"

#include <QPointer>
#include <QWidget>

TemaAtual *TemaAtual::instancia()
{
    static TemaAtual *unica = new TemaAtual; // lives until the process ends
    return unica;
}

void TemaAtual::definirTemaId(const QString &id)
{
    if (id == m_id)
        return;
    m_id = id;
    m_tema = &Tema::porId(id);
    emit temaMudou();
}

void TemaAtual::seguir(QWidget *w)
{
    QObject::connect(instancia(), &TemaAtual::temaMudou, w, [w] { w->update(); });
}
