#pragma once
// The page host: one QWebEngineView for one origin, with the scripts through
// which the web app talks to the shell, the navigation rules, popups,
// downloads, native panels, printing and the file bridge.
#include "Acessibilidade.h"
#include "EstadoVarkelo.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>
#include <optional>

#include <QWebEngineView>
class QWebEngineProfile;
class QWebEngineDownloadRequest;
class QWebEngineNewWindowRequest;
class Coordenador;

// The process's one web profile: persistent ("Varkelo"), or off the record
// in workbench mode. Its user agent ends with "VarkeloApp/1.0 Safari/605.1.15".
QWebEngineProfile *perfilVarkelo(bool bancada);

// The page object: navigation decisions and the page's dialogs.
class PaginaWeb : public QWebEnginePage
{
    Q_OBJECT
public:
    PaginaWeb(QWebEngineProfile *perfil, Coordenador *coordenador, QObject *parent = nullptr);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType tipo, bool principal) override;
    void javaScriptAlert(const QUrl &origem, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &origem, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &origem, const QString &msg, const QString &padrao, QString *resultado) override;
    QStringList chooseFiles(FileSelectionMode modo, const QStringList &antigos, const QStringList &tipos) override;

private:
    QPointer<Coordenador> coordenador_;
};

// What one page message carries to the app. Lives on the page's channel.
class PonteDaPagina : public QObject
{
    Q_OBJECT
public:
    PonteDaPagina(Coordenador *alvo, QWebEnginePage *pagina);
    Q_INVOKABLE void postar(const QString &nome, const QString &json);

private:
    QPointer<Coordenador> alvo_;
    QPointer<QWebEnginePage> pagina_;
};

class Coordenador : public QObject
{
    Q_OBJECT
public:
    Coordenador(EstadoVarkelo *estado, const QUrl &origem, QObject *parent = nullptr);
    ~Coordenador() override;

    EstadoVarkelo *estado() const { return estado_; }
    QUrl origem() const { return origem_; }
    QWebEngineView *web() const { return web_; }
    const QList<QPointer<QWidget>> &janelasExtras() const { return janelasExtras_; }

    // Sets up a page (the main one or a popup): channel, scripts, signals.
    void configurar(PaginaWeb *pagina, bool principal);
    void definirWeb(QWebEngineView *web);

    // One message of the page, already decoded from JSON.
    void mensagem(const QString &nome, const QJsonValue &corpo, QWebEnginePage *pagina);
    void receber(const QJsonValue &corpo);
    void imprimir(QWebEnginePage *pagina);
    void arquivo(const QJsonObject &pedido, QWebEnginePage *pagina);

    bool daCasa(const QUrl &url) const { return daCasa(url, origem_); }
    static bool daCasa(const QUrl &url, const QUrl &origem);
    void abrirFora(const QUrl &url);
    // The accessibility script for the desktop's current preferences.
    static QString roteiroDaAcessibilidade();

    // Where a popup goes: the requested frame clamped into the available
    // area of the first screen it touches; absent (stay centred) when it
    // touches none.
    static std::optional<QPoint> posicaoDoPopup(const QRect &pedido, const QList<QRect> &telas);
    // "relatorio.pdf", then "relatorio 2.pdf", "relatorio 3.pdf"... free in
    // `pasta` and not in `reservados`.
    static QString nomeLivre(const QString &pasta, const QString &sugerido, const QSet<QString> &reservados = {});
    // The file the copy action writes, or absent when `nome` would leave the
    // copy folder.
    static std::optional<QString> destinoDaCopia(const QString &pasta, const QString &nome);
    static QString pastaDaCopia();

    void acompanharAcessibilidade();

Q_SIGNALS:
    // For the workbench follow-ups and tests.
    void navegacaoTerminou(bool ok);
    void respostaDeArquivo(bool ok);

private:
    void aoTerminar(QWebEnginePage *pagina, bool ok);
    void novaJanela(QWebEngineNewWindowRequest &pedido);
    void baixar(QWebEngineDownloadRequest *d);
    void permissao(QWebEnginePage *pagina, const QUrl &origem, QWebEnginePage::Feature recurso);
    void seguimentosDaBancada();
    void acessibilidadeMudou();
    bool eventFilter(QObject *o, QEvent *e) override;

    QPointer<EstadoVarkelo> estado_;
    QUrl origem_;
    QPointer<QWebEngineView> web_;
    QList<QPointer<QWidget>> janelasExtras_;
    QList<QPointer<PaginaWeb>> paginas_;
    QSet<QString> baixando_;
    bool acompanhando_ = false;
};

// The view the main window shows for one origin.
class PaginaVarkelo : public QWidget
{
    Q_OBJECT
public:
    PaginaVarkelo(EstadoVarkelo *estado, const QUrl &origem, QWidget *parent = nullptr);
    ~PaginaVarkelo() override;

    QUrl origem() const { return origem_; }
    QWebEngineView *web() const { return web_; }
    Coordenador *coordenador() const { return coordenador_; }

private:
    void atualizar();

    QPointer<EstadoVarkelo> estado_;
    QUrl origem_;
    Coordenador *coordenador_ = nullptr;
    QWebEngineView *web_ = nullptr;
    int recarregarVisto_ = 0;
};

// Tells the page of `janela` whether it is in full screen: the first web view
// found depth-first gets the "em-tela-cheia" class toggled.
namespace TelaCheia {
void contar(QWidget *janela, bool cheia);
QWebEngineView *primeiraVista(QObject *raiz);
}
