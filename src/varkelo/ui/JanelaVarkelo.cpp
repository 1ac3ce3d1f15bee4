#include "JanelaVarkelo.h"

#include "Abrindo.h"
#include "Ajustes.h"
#include "BrilhoNoAr.h"
#include "FundoDoTema.h"
#include "Movimento.h"
#include "PaginaVarkelo.h"
#include "TemaAtual.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGraphicsOpacityEffect>
#include <QMessageBox>
#include <QPushButton>
#include <QMouseEvent>
#include <QSettings>
#include <QTimer>
#include <QWindow>

namespace {
QSettings ajustes() { return QSettings(QStringLiteral("Varkelo"), QStringLiteral("Varkelo")); }
QPointer<JanelaVarkelo> principal;
} // namespace

JanelaVarkelo::JanelaVarkelo(EstadoVarkelo *estado, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), estado_(estado)
{
    principal = this;
    setWindowTitle(QStringLiteral("Varkelo"));
    setMinimumSize(900, 600);
    resize(1280, 820);
    setMouseTracking(true);

    TemaAtual::instancia()->definirTemaId(estado->temaId());
    connect(estado, &EstadoVarkelo::temaIdMudou, this,
            [this] { TemaAtual::instancia()->definirTemaId(estado_->temaId()); });
    janelaOndrel(this);

    abrindo_ = new Abrindo(estado, this);
    opacidadeAbrindo_ = new QGraphicsOpacityEffect(abrindo_);
    opacidadeAbrindo_->setOpacity(1);
    opacidadeAbrindo_->setEnabled(false);
    abrindo_->setGraphicsEffect(opacidadeAbrindo_);
    fadeAbrindo_ = new AnimacaoMola(Mola{0.45, 1.0}, this);
    connect(fadeAbrindo_, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
        const qreal o = v.toReal();
        opacidadeAbrindo_->setEnabled(o < 0.999);
        opacidadeAbrindo_->setOpacity(o);
        abrindo_->setVisible(o > 0.001);
    });

    brilho_ = new VistaBrilho(this);
    brilhoNoAr_ = new BrilhoNoAr(estado, brilho_);

    connect(estado, &EstadoVarkelo::origemMudou, this, &JanelaVarkelo::origemMudou);
    connect(estado, &EstadoVarkelo::carregandoMudou, this, &JanelaVarkelo::carregandoMudou);

    // Page requests and the careful close go through this window.
    estado->pedidoDeJanela = [](const QString &acao) {
        QWidget *j = janelaAlvo();
        if (!j)
            return false;
        if (acao == QLatin1String("minimizar")) {
            if (!j->isFullScreen())
                j->showMinimized();
        } else if (acao == QLatin1String("telaCheia")) {
            alternarTelaCheia(j);
        }
        return true;
    };
    estado->confirmarFechar = [this](const QString &titulo, const QString &texto) {
        QMessageBox m(QMessageBox::Warning, titulo, titulo, QMessageBox::NoButton, this);
        m.setInformativeText(texto);
        QPushButton *fechar = m.addButton(QStringLiteral("Fechar"), QMessageBox::AcceptRole);
        m.addButton(QStringLiteral("Continuar aberto"), QMessageBox::RejectRole);
        m.setDefaultButton(fechar);
        m.exec();
        return m.clickedButton() == fechar;
    };

    montarComandos();
    qApp->installEventFilter(this);
}

JanelaVarkelo::~JanelaVarkelo()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QWidget *JanelaVarkelo::janelaAlvo()
{
    if (QWidget *a = QApplication::activeWindow())
        return a;
    if (principal)
        return principal;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !(w->windowFlags() & Qt::Popup))
            return w;
    return nullptr;
}

void JanelaVarkelo::alternarTelaCheia(QWidget *j)
{
    if (!j)
        return;
    if (j->isFullScreen())
        j->showNormal();
    else
        j->showFullScreen();
}

void JanelaVarkelo::abrirNoNavegador(const QUrl &url) { QDesktopServices::openUrl(url); }

void JanelaVarkelo::montarComandos()
{
    recarregar_ = new QAction(QStringLiteral("Recarregar"), this);
    recarregar_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(recarregar_, &QAction::triggered, this, [this] {
        if (estado_)
            estado_->pedirRecarga();
    });
    navegador_ = new QAction(QStringLiteral("Abrir no navegador"), this);
    navegador_->setShortcut(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_B));
    connect(navegador_, &QAction::triggered, this, [this] {
        if (estado_ && estado_->origem())
            abrirNoNavegador(*estado_->origem());
    });
    telaCheia_ = new QAction(QStringLiteral("Tela cheia"), this);
    telaCheia_->setShortcut(QKeySequence(Qt::CTRL | Qt::META | Qt::Key_F));
    connect(telaCheia_, &QAction::triggered, this, [] { alternarTelaCheia(janelaAlvo()); });
    auto *fechar = new QAction(QStringLiteral("Fechar"), this);
    fechar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(fechar, &QAction::triggered, this, [] {
        if (QWidget *j = janelaAlvo())
            j->close();
    });

    for (QAction *a : {recarregar_, navegador_, telaCheia_, fechar}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }

    menu_ = new QMenu(this);
    menu_->addAction(recarregar_);
    menu_->addAction(navegador_);
    menu_->addSeparator();
    menu_->addAction(telaCheia_);
    menuOrigem_ = menu_->addMenu(QStringLiteral("Origem"));
    agora_ = menuOrigem_->addAction(QString());
    agora_->setEnabled(false);
    menuOrigem_->addSeparator();
    origens_ = new QActionGroup(this);
    origens_->setExclusive(true);
    for (FonteEscolhida f : Fontes::todas()) {
        QAction *a = menuOrigem_->addAction(Fontes::rotulo(f));
        a->setCheckable(true);
        a->setData(Fontes::valorBruto(f));
        origens_->addAction(a);
        connect(a, &QAction::triggered, this, [this, f] {
            if (estado_)
                estado_->escolherFonte(f);
        });
    }
    menu_->addSeparator();
    menu_->addAction(fechar);

    // The menu itself: F10, or Control+Super with a right click.
    auto *abrirMenu = new QAction(this);
    abrirMenu->setShortcut(QKeySequence(Qt::Key_F10));
    abrirMenu->setShortcutContext(Qt::WindowShortcut);
    connect(abrirMenu, &QAction::triggered, this, [this] { menu_->popup(QCursor::pos()); });
    addAction(abrirMenu);

    for (auto sinal : {&EstadoVarkelo::origemMudou, &EstadoVarkelo::fonteMudou})
        connect(estado_, sinal, this, &JanelaVarkelo::atualizarMenu);
    atualizarMenu();
}

void JanelaVarkelo::atualizarMenu()
{
    if (!estado_)
        return;
    agora_->setText(estado_->linhaAgora());
    for (QAction *a : origens_->actions())
        a->setChecked(a->data().toString() == Fontes::valorBruto(estado_->fonte()));
}

void JanelaVarkelo::origemMudou()
{
    const std::optional<QUrl> o = estado_ ? estado_->origem() : std::nullopt;
    if (pagina_ && (!o || pagina_->origem() != *o)) {
        // Another address gets a fresh page host.
        pagina_->deleteLater();
        pagina_ = nullptr;
    }
    if (o && !pagina_) {
        pagina_ = new PaginaVarkelo(estado_, *o, this);
        pagina_->setGeometry(rect());
        pagina_->show();
        pagina_->stackUnder(abrindo_);
    }
    carregandoMudou();
}

void JanelaVarkelo::carregandoMudou()
{
    const bool mostrar = estado_ && estado_->carregando();
    const qreal alvo = mostrar ? 1.0 : 0.0;
    if (mostrar) {
        abrindo_->setVisible(true);
        abrindo_->raise();
        brilho_->raise();
    }
    if (Movimento::reduzido() || !isVisible()) {
        fadeAbrindo_->stop();
        opacidadeAbrindo_->setEnabled(false);
        abrindo_->setVisible(mostrar);
        return;
    }
    if (fadeAbrindo_->state() != QAbstractAnimation::Running && !fadeAbrindo_->currentValue().isValid())
        fadeAbrindo_->setStartValue(mostrar ? 0.0 : 1.0);
    fadeAbrindo_->animarPara(alvo);
}

void JanelaVarkelo::resizeEvent(QResizeEvent *)
{
    const QRect r = rect();
    if (pagina_)
        pagina_->setGeometry(r);
    abrindo_->setGeometry(r);
    brilho_->setGeometry(r);
}

void JanelaVarkelo::showEvent(QShowEvent *)
{
    if (mostrada_)
        return;
    mostrada_ = true;
    cheiaAntes_ = isFullScreen();
    // Decide where the page comes from once the opening screen is on the
    // screen: building the engine must not hold back the first paint.
    auto *primeira = new QMetaObject::Connection;
    *primeira = connect(abrindo_, &Abrindo::pintado, this, [this, primeira] {
        disconnect(*primeira);
        delete primeira;
        QTimer::singleShot(0, this, [this] {
            if (estado_)
                estado_->decidirOrigem();
        });
    });
    if (estado_ && !estado_->bancada()) {
        const QSettings s = ajustes();
        if (Ajustes::booleano(s, QStringLiteral("telaCheia")).value_or(false) && !isFullScreen()) {
            QPointer<JanelaVarkelo> eu(this);
            QTimer::singleShot(250, this, [eu] {
                if (eu && !eu->isFullScreen())
                    eu->showFullScreen();
            });
        }
    }
}

void JanelaVarkelo::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::WindowStateChange) {
        const bool cheia = isFullScreen();
        if (cheia != cheiaAntes_) {
            cheiaAntes_ = cheia;
            TelaCheia::contar(this, cheia);
            if (estado_ && !estado_->bancada()) {
                QSettings s = ajustes();
                s.setValue(QStringLiteral("telaCheia"), cheia);
            }
        }
    }
    QWidget::changeEvent(e);
}

void JanelaVarkelo::closeEvent(QCloseEvent *e)
{
    e->accept();
    // The app ends with its main window; the server is not touched.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

Qt::Edges JanelaVarkelo::bordasEm(const QPoint &p) const
{
    if (isFullScreen() || isMaximized())
        return {};
    Qt::Edges b;
    const int m = bordaDeRedimensionar;
    if (p.x() < m)
        b |= Qt::LeftEdge;
    if (p.x() >= width() - m)
        b |= Qt::RightEdge;
    if (p.y() < m)
        b |= Qt::TopEdge;
    if (p.y() >= height() - m)
        b |= Qt::BottomEdge;
    return b;
}

bool JanelaVarkelo::eventFilter(QObject *o, QEvent *e)
{
    const QEvent::Type t = e->type();
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseMove && t != QEvent::MouseButtonRelease)
        return false;
    auto *w = qobject_cast<QWidget *>(o);
    if (!w || w->window() != this)
        return false;
    auto *me = static_cast<QMouseEvent *>(e);
    const QPoint local = mapFromGlobal(me->globalPosition().toPoint());
    const Qt::KeyboardModifiers mods = me->modifiers();
    const bool controleSuper = (mods & Qt::ControlModifier) && (mods & Qt::MetaModifier);

    if (t == QEvent::MouseButtonPress) {
        if (controleSuper && me->button() == Qt::RightButton) {
            menu_->popup(me->globalPosition().toPoint());
            return true;
        }
        if (me->button() != Qt::LeftButton)
            return false;
        if (controleSuper) {
            // Control+Super drag moves the chromeless window; the page never
            // sees the click.
            if (!(windowHandle() && windowHandle()->startSystemMove())) {
                arrastando_ = true;
                arrasteInicio_ = me->globalPosition().toPoint();
                janelaInicio_ = pos();
            }
            return true;
        }
        const Qt::Edges b = bordasEm(local);
        if (b && windowHandle() && windowHandle()->startSystemResize(b))
            return true;
        return false;
    }
    if (t == QEvent::MouseMove) {
        if (arrastando_) {
            move(janelaInicio_ + me->globalPosition().toPoint() - arrasteInicio_);
            return true;
        }
        if (me->buttons() == Qt::NoButton) {
            const Qt::Edges b = bordasEm(local);
            if (b == (Qt::LeftEdge | Qt::TopEdge) || b == (Qt::RightEdge | Qt::BottomEdge))
                setCursor(Qt::SizeFDiagCursor);
            else if (b == (Qt::RightEdge | Qt::TopEdge) || b == (Qt::LeftEdge | Qt::BottomEdge))
                setCursor(Qt::SizeBDiagCursor);
            else if (b & (Qt::LeftEdge | Qt::RightEdge))
                setCursor(Qt::SizeHorCursor);
            else if (b & (Qt::TopEdge | Qt::BottomEdge))
                setCursor(Qt::SizeVerCursor);
            else
                unsetCursor();
        }
        return false;
    }
    // Release
    if (arrastando_) {
        arrastando_ = false;
        return true;
    }
    return false;
}
