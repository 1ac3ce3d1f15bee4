#pragma once
// The one main window: no title bar or window buttons, the page for the
// current origin, the opening screen above it while loading, the glow ring
// above everything. Full screen is remembered; Control+Super drag moves the
// window; the edges resize it. The menu commands live in `ComandosVarkelo`
// and are reached by shortcuts and by a menu (F10 or Control+Super+right
// click).
#include "EstadoVarkelo.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class Abrindo;
class PaginaVarkelo;
class VistaBrilho;
class BrilhoNoAr;
class AnimacaoMola;
class QGraphicsOpacityEffect;

class JanelaVarkelo : public QWidget
{
    Q_OBJECT
public:
    explicit JanelaVarkelo(EstadoVarkelo *estado, QWidget *parent = nullptr);
    ~JanelaVarkelo() override;

    EstadoVarkelo *estado() const { return estado_; }
    PaginaVarkelo *pagina() const { return pagina_; }
    Abrindo *abrindo() const { return abrindo_; }
    VistaBrilho *brilho() const { return brilho_; }
    QMenu *menu() const { return menu_; }

    QAction *acaoRecarregar() const { return recarregar_; }
    QAction *acaoAbrirNoNavegador() const { return navegador_; }
    QAction *acaoTelaCheia() const { return telaCheia_; }
    QAction *acaoAgora() const { return agora_; }
    QList<QAction *> acoesDeOrigem() const { return origens_->actions(); }

    // Key window, else the main window, else the first visible window.
    static QWidget *janelaAlvo();
    static void alternarTelaCheia(QWidget *janela);
    // Opens the address with the default browser (QDesktopServices).
    static void abrirNoNavegador(const QUrl &url);

    static constexpr int bordaDeRedimensionar = 6;

protected:
    void resizeEvent(QResizeEvent *) override;
    void showEvent(QShowEvent *) override;
    void changeEvent(QEvent *) override;
    void closeEvent(QCloseEvent *) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void origemMudou();
    void carregandoMudou();
    void atualizarMenu();
    void montarComandos();
    Qt::Edges bordasEm(const QPoint &local) const;

    QPointer<EstadoVarkelo> estado_;
    QWidget *fundo_ = nullptr;
    PaginaVarkelo *pagina_ = nullptr;
    Abrindo *abrindo_ = nullptr;
    QGraphicsOpacityEffect *opacidadeAbrindo_ = nullptr;
    AnimacaoMola *fadeAbrindo_ = nullptr;
    VistaBrilho *brilho_ = nullptr;
    BrilhoNoAr *brilhoNoAr_ = nullptr;

    QMenu *menu_ = nullptr;
    QMenu *menuOrigem_ = nullptr;
    QAction *recarregar_ = nullptr;
    QAction *navegador_ = nullptr;
    QAction *telaCheia_ = nullptr;
    QAction *agora_ = nullptr;
    QActionGroup *origens_ = nullptr;

    bool mostrada_ = false;
    bool cheiaAntes_ = false;
    // Control+Super drag, when the window manager cannot move it for us.
    bool arrastando_ = false;
    QPoint arrasteInicio_, janelaInicio_;
};
