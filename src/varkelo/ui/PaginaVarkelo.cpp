#include "PaginaVarkelo.h"

#include "Roteiros.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QWebEngineFullScreenRequest>
#include <QMessageBox>
#include <QPushButton>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineDownloadRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QString nomeDoRoteiroDeAcessibilidade = QStringLiteral("varkelo-acessibilidade");

QWebEngineScript roteiro(const QString &nome, const QString &fonte, bool todosOsQuadros)
{
    QWebEngineScript s;
    s.setName(nome);
    s.setSourceCode(fonte);
    s.setInjectionPoint(QWebEngineScript::DocumentCreation);
    s.setWorldId(QWebEngineScript::MainWorld);
    s.setRunsOnSubFrames(todosOsQuadros);
    return s;
}

QWidget *janelaDe(QWebEnginePage *pagina)
{
    if (!pagina)
        return nullptr;
    if (auto *v = qobject_cast<QWebEngineView *>(QWebEngineView::forPage(pagina)))
        return v->window();
    return nullptr;
}

QString textoDoResultado(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QStringLiteral("nil");
    if (v.typeId() == QMetaType::QVariantMap || v.typeId() == QMetaType::QVariantList)
        return QString::fromUtf8(QJsonDocument::fromVariant(v).toJson(QJsonDocument::Compact));
    return v.toString();
}

QMessageBox *alerta(QWidget *pai, const QString &texto)
{
    auto *m = new QMessageBox(pai);
    m->setWindowTitle(QStringLiteral("Varkelo"));
    m->setText(texto);
    m->setIcon(QMessageBox::NoIcon);
    m->setAttribute(Qt::WA_DeleteOnClose, false);
    return m;
}

} // namespace

// --- profile ---------------------------------------------------------------

QWebEngineProfile *perfilVarkelo(bool bancada)
{
    static QPointer<QWebEngineProfile> perfil;
    if (!perfil) {
        perfil = bancada ? new QWebEngineProfile(qApp) : new QWebEngineProfile(QStringLiteral("Varkelo"), qApp);
        perfil->setHttpUserAgent(perfil->httpUserAgent() + QStringLiteral(" VarkeloApp/1.0 Safari/605.1.15"));
        if (!bancada)
            perfil->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    }
    return perfil;
}

// --- page ------------------------------------------------------------------

PaginaWeb::PaginaWeb(QWebEngineProfile *perfil, Coordenador *coordenador, QObject *parent)
    : QWebEnginePage(perfil, parent), coordenador_(coordenador)
{
}

bool PaginaWeb::acceptNavigationRequest(const QUrl &url, NavigationType tipo, bool principal)
{
    // Only a link the person followed leaves for the browser; scripted
    // navigations, redirects, forms and reloads stay, whatever the host.
    if (tipo != NavigationTypeLinkClicked || !coordenador_ || coordenador_->daCasa(url))
        return true;
    if (!principal) {
        coordenador_->abrirFora(url);
        return false;
    }
    // The engine reports scripted navigations as link clicks too. Hold this
    // one and ask the page whether the person just activated a link to it:
    // then it goes to the browser, otherwise it loads here.
    QPointer<PaginaWeb> eu(this);
    QPointer<Coordenador> c = coordenador_;
    runJavaScript(QStringLiteral("(function () { var c = window.__varkeloClique; "
                                 "return c && Date.now() - c.quando < 3000 ? c.href : ''; })()"),
                  [eu, c, url](const QVariant &href) {
                      if (!eu || !c)
                          return;
                      if (QUrl(href.toString()).adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment)) {
                          eu->runJavaScript(QStringLiteral("window.__varkeloClique = null"));
                          c->abrirFora(url);
                      } else {
                          eu->load(url);
                      }
                  });
    return false;
}

void PaginaWeb::javaScriptAlert(const QUrl &, const QString &msg)
{
    QMessageBox *m = alerta(janelaDe(this), msg);
    m->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    m->exec();
    delete m;
}

bool PaginaWeb::javaScriptConfirm(const QUrl &, const QString &msg)
{
    QMessageBox *m = alerta(janelaDe(this), msg);
    QAbstractButton *ok = m->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    m->addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    m->exec();
    const bool sim = m->clickedButton() == ok;
    delete m;
    return sim;
}

bool PaginaWeb::javaScriptPrompt(const QUrl &, const QString &msg, const QString &padrao, QString *resultado)
{
    QInputDialog d(janelaDe(this));
    d.setWindowTitle(QStringLiteral("Varkelo"));
    d.setLabelText(msg);
    d.setTextValue(padrao);
    d.setOkButtonText(QStringLiteral("OK"));
    d.setCancelButtonText(QStringLiteral("Cancelar"));
    if (auto *campo = d.findChild<QLineEdit *>())
        campo->setMinimumSize(260, 24);
    if (d.exec() != QDialog::Accepted)
        return false;
    *resultado = d.textValue();
    return true;
}

QStringList PaginaWeb::chooseFiles(FileSelectionMode modo, const QStringList &, const QStringList &)
{
    QFileDialog d(janelaDe(this));
    switch (modo) {
    case FileSelectOpenMultiple: d.setFileMode(QFileDialog::ExistingFiles); break;
    case FileSelectUploadFolder: d.setFileMode(QFileDialog::Directory); break;
    case FileSelectSave: d.setAcceptMode(QFileDialog::AcceptSave); break;
    default: d.setFileMode(QFileDialog::ExistingFile); break;
    }
    if (d.exec() != QDialog::Accepted)
        return {};
    return d.selectedFiles();
}

// --- bridge ----------------------------------------------------------------

PonteDaPagina::PonteDaPagina(Coordenador *alvo, QWebEnginePage *pagina)
    : QObject(pagina), alvo_(alvo), pagina_(pagina)
{
}

void PonteDaPagina::postar(const QString &nome, const QString &json)
{
    if (!alvo_)
        return; // the coordinator is gone: the message is dropped
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray("[") + json.toUtf8() + "]");
    if (!doc.isArray())
        return;
    alvo_->mensagem(nome, doc.array().first(), pagina_);
}

// --- coordinator -----------------------------------------------------------

Coordenador::Coordenador(EstadoVarkelo *estado, const QUrl &origem, QObject *parent)
    : QObject(parent), estado_(estado), origem_(origem)
{
}

Coordenador::~Coordenador()
{
    for (const QPointer<QWidget> &j : std::as_const(janelasExtras_))
        if (j)
            j->deleteLater();
}

QString Coordenador::roteiroDaAcessibilidade() { return Roteiros::acessibilidade(Acessibilidade::agora()); }

void Coordenador::configurar(PaginaWeb *pagina, bool principal)
{
    paginas_.append(pagina);
    pagina->setBackgroundColor(Qt::transparent);
    QWebEngineSettings *s = pagina->settings();
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);

    auto *canal = new QWebChannel(pagina);
    canal->registerObject(Roteiros::nomeDaPonte(), new PonteDaPagina(this, pagina));
    pagina->setWebChannel(canal, QWebEngineScript::MainWorld);

    QWebEngineScriptCollection &c = pagina->scripts();
    c.insert(roteiro(QStringLiteral("varkelo-ponte"), Roteiros::ponte(), true));
    c.insert(roteiro(QStringLiteral("varkelo-diario"), Roteiros::diario(), true));
    c.insert(roteiro(QStringLiteral("varkelo-imprimir"), Roteiros::imprimir(), true));
    c.insert(roteiro(nomeDoRoteiroDeAcessibilidade, roteiroDaAcessibilidade(), true));
    if (estado_) {
        if (const std::optional<QString> t = estado_->tokenDoQuilvo())
            if (const std::optional<QString> r = Roteiros::token(origem_, *t))
                c.insert(roteiro(QStringLiteral("varkelo-token"), *r, false));
    }

    QPointer<PaginaWeb> p(pagina);
    connect(pagina, &QWebEnginePage::loadFinished, this, [this, p](bool ok) { aoTerminar(p, ok); });
    connect(pagina, &QWebEnginePage::renderProcessTerminated, this, [p](auto, int) {
        // A crashed renderer is answered with a reload, without a word.
        QTimer::singleShot(0, p, [p] {
            if (p)
                p->triggerAction(QWebEnginePage::Reload);
        });
    });
    connect(pagina, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &r) { novaJanela(r); });
    connect(pagina, &QWebEnginePage::featurePermissionRequested, this,
            [this, p](const QUrl &o, QWebEnginePage::Feature f) { permissao(p, o, f); });
    connect(pagina, &QWebEnginePage::fullScreenRequested, this, [p](QWebEngineFullScreenRequest r) {
        r.accept();
        if (QWidget *j = janelaDe(p)) {
            if (r.toggleOn())
                j->showFullScreen();
            else
                j->showNormal();
        }
    });
    if (!principal) {
        connect(pagina, &QWebEnginePage::windowCloseRequested, this, [this, p] {
            QWidget *j = janelaDe(p);
            if (!j)
                return;
            for (int i = 0; i < janelasExtras_.size(); ++i) {
                if (janelasExtras_[i] == j) {
                    janelasExtras_.removeAt(i);
                    j->removeEventFilter(this);
                    if (j->isVisible())
                        j->close();
                    j->deleteLater();
                    return;
                }
            }
        });
    }
    connect(pagina->profile(), &QWebEngineProfile::downloadRequested, this, &Coordenador::baixar,
            Qt::UniqueConnection);
}

void Coordenador::definirWeb(QWebEngineView *web)
{
    web_ = web;
    acompanharAcessibilidade();
}

void Coordenador::mensagem(const QString &nome, const QJsonValue &corpo, QWebEnginePage *pagina)
{
    if (nome == QLatin1String("varkelo") || nome == QLatin1String("varkeloDiario")) {
        receber(corpo);
    } else if (nome == QLatin1String("varkeloImprimir")) {
        imprimir(pagina);
    } else if (nome == QLatin1String("varkeloArquivo")) {
        if (corpo.isObject())
            arquivo(corpo.toObject(), pagina);
        else
            receber(corpo);
    }
}

void Coordenador::receber(const QJsonValue &corpo)
{
    if (!estado_)
        return;
    if (corpo.isObject())
        estado_->receber(corpo.toObject().toVariantMap());
    else if (corpo.isString())
        estado_->anotar(corpo.toString());
}

// --- navigation ------------------------------------------------------------

bool Coordenador::daCasa(const QUrl &url, const QUrl &origem)
{
    const QString host = url.host();
    if (host.isEmpty())
        return true;
    if (host == origem.host())
        return true;
    if (host == QLatin1String("localhost"))
        return true;
    const QString dominio = EstadoVarkelo::dominioDaNuvem();
    if (!dominio.isEmpty() && host.endsWith(dominio))
        return true;
    return host.endsWith(QLatin1String(".local"));
}

void Coordenador::abrirFora(const QUrl &url) { QDesktopServices::openUrl(url); }

void Coordenador::aoTerminar(QWebEnginePage *pagina, bool ok)
{
    if (!ok)
        return; // a failed load leaves things as they are
    if (estado_ && web_ && pagina == web_->page())
        estado_->setCarregando(false);
    if (QWidget *j = janelaDe(pagina))
        TelaCheia::contar(j, j->isFullScreen());
    if (estado_ && estado_->bancada() && web_ && pagina == web_->page())
        seguimentosDaBancada();
    Q_EMIT navegacaoTerminou(ok);
}

void Coordenador::seguimentosDaBancada()
{
    bool numero = false;
    double espera = qEnvironmentVariable("VARKELO_BANCADA_ESPERA").toDouble(&numero);
    if (!numero || espera < 0)
        espera = 5;
    QPointer<Coordenador> eu(this);
    if (qEnvironmentVariableIsSet("VARKELO_BANCADA_JS")) {
        const QString js = qEnvironmentVariable("VARKELO_BANCADA_JS");
        QTimer::singleShot(int(espera * 1000), this, [eu, js] {
            if (!eu || !eu->web_)
                return;
            eu->web_->page()->runJavaScript(js, [eu](const QVariant &r) {
                if (eu && eu->estado_)
                    eu->estado_->anotar(QStringLiteral("JS ") + textoDoResultado(r) + QStringLiteral(" "));
            });
        });
    }
    if (qEnvironmentVariableIsSet("VARKELO_BANCADA_FOTO")) {
        const QString caminho = qEnvironmentVariable("VARKELO_BANCADA_FOTO");
        QTimer::singleShot(int((espera + 4) * 1000), this, [eu, caminho] {
            if (!eu || !eu->web_)
                return;
            // What the person sees of the page, theme background included.
            QWidget *janela = eu->web_->window();
            const QImage img =
                janela->grab(QRect(eu->web_->mapTo(janela, QPoint(0, 0)), eu->web_->size())).toImage();
            if (img.isNull())
                return;
            if (img.save(caminho, "PNG") && eu->estado_)
                eu->estado_->anotar(QStringLiteral("FOTO ") + caminho);
        });
    }
}

// --- popups ----------------------------------------------------------------

std::optional<QPoint> Coordenador::posicaoDoPopup(const QRect &pedido, const QList<QRect> &telas)
{
    for (const QRect &v : telas) {
        if (!v.intersects(pedido))
            continue;
        const int x = qMin(v.x() + v.width() - qMin(v.width(), pedido.width()), qMax(pedido.x(), v.x()));
        const int y = qMin(v.y() + v.height() - qMin(v.height(), pedido.height()), qMax(pedido.y(), v.y()));
        return QPoint(x, y);
    }
    return std::nullopt;
}

void Coordenador::novaJanela(QWebEngineNewWindowRequest &pedido)
{
    const QUrl url = pedido.requestedUrl();
    if (!url.isEmpty() && !daCasa(url)) {
        abrirFora(url);
        return;
    }
    auto *janela = new QWidget(nullptr, Qt::Window);
    janela->setAttribute(Qt::WA_DeleteOnClose, false);
    janela->setWindowTitle(QStringLiteral("Varkelo"));
    auto *layout = new QVBoxLayout(janela);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *vista = new QWebEngineView(janela);
    layout->addWidget(vista);
    auto *pagina = new PaginaWeb(perfilVarkelo(estado_ && estado_->bancada()), this, vista);
    configurar(pagina, false);
    vista->setPage(pagina);

    const QRect g = pedido.requestedGeometry();
    const QSize tamanho(g.width() > 0 ? g.width() : 960, g.height() > 0 ? g.height() : 600);
    janela->resize(tamanho);
    QScreen *tela = QGuiApplication::primaryScreen();
    if (web_ && web_->window() && web_->window()->screen())
        tela = web_->window()->screen();
    if (tela) {
        QRect r(QPoint(0, 0), tamanho);
        r.moveCenter(tela->availableGeometry().center());
        janela->move(r.topLeft());
    }
    // The engine gives a position of 0,0 when the page named none.
    if (!g.topLeft().isNull()) {
        QList<QRect> telas;
        for (QScreen *s : QGuiApplication::screens())
            telas << s->availableGeometry();
        if (const std::optional<QPoint> pos = posicaoDoPopup(QRect(g.topLeft(), tamanho), telas))
            janela->move(*pos);
    }
    janela->installEventFilter(this);
    janelasExtras_.append(janela);
    pedido.openIn(pagina);
    janela->show();
    janela->raise();
    janela->activateWindow();
}

bool Coordenador::eventFilter(QObject *o, QEvent *e)
{
    if (e->type() == QEvent::Close) {
        auto *j = qobject_cast<QWidget *>(o);
        for (int i = 0; i < janelasExtras_.size(); ++i) {
            if (janelasExtras_[i] == j) {
                janelasExtras_.removeAt(i);
                if (QWebEngineView *v = j->findChild<QWebEngineView *>())
                    v->page()->runJavaScript(QStringLiteral("window.close()"));
                j->deleteLater();
                break;
            }
        }
    }
    return QObject::eventFilter(o, e);
}

// --- downloads -------------------------------------------------------------

QString Coordenador::nomeLivre(const QString &pasta, const QString &sugerido, const QSet<QString> &reservados)
{
    QString nome = QFileInfo(sugerido).fileName();
    if (nome.isEmpty() || nome == QLatin1String(".") || nome == QLatin1String(".."))
        nome = QStringLiteral("download");
    const QDir d(pasta);
    const auto livre = [&](const QString &n) { return !QFileInfo::exists(d.filePath(n)) && !reservados.contains(d.filePath(n)); };
    if (livre(nome))
        return nome;
    const int ponto = nome.lastIndexOf(QLatin1Char('.'));
    const QString base = ponto > 0 ? nome.left(ponto) : nome;
    const QString ext = ponto > 0 ? nome.mid(ponto) : QString();
    for (int n = 2;; ++n) {
        const QString candidato = base + QLatin1Char(' ') + QString::number(n) + ext;
        if (livre(candidato))
            return candidato;
    }
}

void Coordenador::baixar(QWebEngineDownloadRequest *d)
{
    if (d->state() != QWebEngineDownloadRequest::DownloadRequested)
        return; // another page host already took it
    const QString pasta = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (pasta.isEmpty() || !QDir().mkpath(pasta)) {
        if (estado_)
            estado_->anotar(QStringLiteral("DOWNLOAD sem pasta de downloads: ") + d->suggestedFileName());
        d->cancel();
        return;
    }
    const QString nome = nomeLivre(pasta, d->suggestedFileName(), baixando_);
    const QString caminho = QDir(pasta).filePath(nome);
    baixando_.insert(caminho);
    connect(d, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, caminho] { baixando_.remove(caminho); });
    d->setDownloadDirectory(pasta);
    d->setDownloadFileName(nome);
    d->accept();
}

// --- camera and microphone -------------------------------------------------

void Coordenador::permissao(QWebEnginePage *pagina, const QUrl &origem, QWebEnginePage::Feature recurso)
{
    if (!pagina)
        return;
    const bool midia = recurso == QWebEnginePage::MediaAudioCapture || recurso == QWebEnginePage::MediaVideoCapture
                       || recurso == QWebEnginePage::MediaAudioVideoCapture;
    if (!midia) {
        pagina->setFeaturePermission(origem, recurso, QWebEnginePage::PermissionDeniedByUser);
        return;
    }
    bool conceder = origem.host().isEmpty();
    if (!conceder) {
        const QUrl endereco(origem.scheme() + QStringLiteral("://") + origem.host());
        conceder = endereco.isValid() && daCasa(endereco);
    }
    if (!conceder) {
        // Outside the product's hosts the person decides.
        const QString o = origem.host().isEmpty() ? origem.toString() : origem.host();
        QMessageBox m(janelaDe(pagina));
        m.setWindowTitle(QStringLiteral("Varkelo"));
        m.setText(recurso == QWebEnginePage::MediaAudioCapture ? QStringLiteral("%1 quer usar o microfone.").arg(o)
                  : recurso == QWebEnginePage::MediaVideoCapture ? QStringLiteral("%1 quer usar a câmera.").arg(o)
                                                                 : QStringLiteral("%1 quer usar a câmera e o microfone.").arg(o));
        QAbstractButton *sim = m.addButton(QStringLiteral("Permitir"), QMessageBox::AcceptRole);
        m.addButton(QStringLiteral("Não permitir"), QMessageBox::RejectRole);
        m.exec();
        conceder = m.clickedButton() == sim;
    }
    pagina->setFeaturePermission(origem, recurso,
                                 conceder ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}

// --- printing --------------------------------------------------------------

void Coordenador::imprimir(QWebEnginePage *pagina)
{
    auto *vista = pagina ? qobject_cast<QWebEngineView *>(QWebEngineView::forPage(pagina)) : nullptr;
    if (!vista || !vista->window() || !vista->window()->isVisible())
        return;
    static QPrinter *impressora = nullptr; // shared settings for later jobs
    if (!impressora)
        impressora = new QPrinter(QPrinter::HighResolution);
    auto *dialogo = new QPrintDialog(impressora, vista->window());
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWebEngineView> v(vista);
    connect(dialogo, &QDialog::accepted, vista, [v] {
        if (v)
            v->print(impressora);
    });
    dialogo->open();
}

// --- file bridge -----------------------------------------------------------

QString Coordenador::pastaDaCopia() { return QDir(QDir::tempPath()).filePath(QStringLiteral("Varkelo-copia")); }

std::optional<QString> Coordenador::destinoDaCopia(const QString &pasta, const QString &nome)
{
    QString n = nome;
    n.replace(QLatin1Char('/'), QLatin1Char('-'));
    n = QFileInfo(n).fileName();
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..") || n.contains(QChar(0)))
        return std::nullopt;
    const QString alvo = QDir::cleanPath(QDir(pasta).filePath(n));
    if (QFileInfo(alvo).absolutePath() != QDir::cleanPath(QFileInfo(pasta).absoluteFilePath()))
        return std::nullopt;
    return alvo;
}

void Coordenador::arquivo(const QJsonObject &pedido, QWebEnginePage *pagina)
{
    const QString acao = pedido.value(QStringLiteral("acao")).isString() ? pedido.value(QStringLiteral("acao")).toString()
                                                                         : QString();
    const QString nome = pedido.value(QStringLiteral("nome")).isString() ? pedido.value(QStringLiteral("nome")).toString()
                                                                         : QStringLiteral("arquivo.pdf");
    bool ok = false;
    if (acao == QLatin1String("copiar")) {
        const QJsonValue dados = pedido.value(QStringLiteral("dados"));
        std::optional<QByteArray> bytes;
        if (dados.isString()) {
            const auto r = QByteArray::fromBase64Encoding(dados.toString().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
            // toLatin1 turns anything beyond Latin-1 into '?', which is no Base64 either.
            if (r)
                bytes = *r;
        }
        const bool base64 = bytes.has_value();
        const QString pasta = pastaDaCopia();
        const std::optional<QString> alvo = destinoDaCopia(pasta, nome);
        if (base64 && alvo) {
            QDir(pasta).removeRecursively();
            QDir().mkpath(pasta);
            QSaveFile f(*alvo);
            if (f.open(QIODevice::WriteOnly) && f.write(*bytes) == bytes->size() && f.commit()) {
                QClipboard *cb = QGuiApplication::clipboard();
                const QUrl url = QUrl::fromLocalFile(*alvo);
                auto *mime = new QMimeData;
                mime->setUrls({url});
                mime->setText(url.toString());
                mime->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
                cb->clear();
                cb->setMimeData(mime);
                const QMimeData *lido = cb->mimeData();
                ok = lido && lido->hasUrls() && lido->urls().value(0) == url;
            }
        }
    }
    if (pagina) {
        pagina->runJavaScript(QStringLiteral("window.dispatchEvent(new CustomEvent('varkelo-arquivo', { detail: { acao: '")
                              + (acao == QLatin1String("copiar") ? QStringLiteral("copiar") : QStringLiteral("?"))
                              + QStringLiteral("', ok: ") + (ok ? QStringLiteral("true") : QStringLiteral("false"))
                              + QStringLiteral(" } }))"));
    }
    Q_EMIT respostaDeArquivo(ok);
}

// --- accessibility ---------------------------------------------------------

void Coordenador::acompanharAcessibilidade()
{
    if (acompanhando_)
        return;
    acompanhando_ = true;
    connect(Acessibilidade::instancia(), &Acessibilidade::mudou, this, &Coordenador::acessibilidadeMudou);
}

void Coordenador::acessibilidadeMudou()
{
    const QString js = roteiroDaAcessibilidade();
    for (const QPointer<PaginaWeb> &p : std::as_const(paginas_)) {
        if (!p)
            continue;
        // Later loads get the new values too.
        QWebEngineScriptCollection &c = p->scripts();
        for (const QWebEngineScript &s : c.find(nomeDoRoteiroDeAcessibilidade))
            c.remove(s);
        c.insert(roteiro(nomeDoRoteiroDeAcessibilidade, js, true));
        p->runJavaScript(js);
    }
}

// --- the view --------------------------------------------------------------

PaginaVarkelo::PaginaVarkelo(EstadoVarkelo *estado, const QUrl &origem, QWidget *parent)
    : QWidget(parent), estado_(estado), origem_(origem)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    coordenador_ = new Coordenador(estado, origem, this);
    web_ = new QWebEngineView(this);
    web_->setAttribute(Qt::WA_TranslucentBackground);
    web_->setStyleSheet(QStringLiteral("background: transparent"));
    auto *pagina = new PaginaWeb(perfilVarkelo(estado && estado->bancada()), coordenador_, web_);
    coordenador_->configurar(pagina, true);
    web_->setPage(pagina);
    layout->addWidget(web_);
    coordenador_->definirWeb(web_);
    if (estado) {
        recarregarVisto_ = estado->recarregar();
        connect(estado, &EstadoVarkelo::recarregarMudou, this, &PaginaVarkelo::atualizar);
    }
    web_->load(origem);
}

PaginaVarkelo::~PaginaVarkelo() = default;

void PaginaVarkelo::atualizar()
{
    if (!estado_ || estado_->recarregar() == recarregarVisto_)
        return;
    recarregarVisto_ = estado_->recarregar();
    web_->reload();
}

// --- full screen for the page ----------------------------------------------

namespace TelaCheia {

QWebEngineView *primeiraVista(QObject *raiz)
{
    if (!raiz)
        return nullptr;
    if (auto *v = qobject_cast<QWebEngineView *>(raiz))
        return v;
    for (QObject *filho : raiz->children())
        if (QWebEngineView *v = primeiraVista(filho))
            return v;
    return nullptr;
}

void contar(QWidget *janela, bool cheia)
{
    if (QWebEngineView *v = primeiraVista(janela))
        v->page()->runJavaScript(Roteiros::classeDeTelaCheia(cheia));
}

} // namespace TelaCheia
