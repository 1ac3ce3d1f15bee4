#pragma once
// Varkelo's one state object: where the page is opened from, what the page
// reports back (theme, on-air flags), the page diary and the few operations a
// page message can trigger. Lives on the main thread for the whole process.
#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <optional>

enum class FonteEscolhida { automatica, nuvem, dev };

namespace Fontes {
QList<FonteEscolhida> todas();
QString valorBruto(FonteEscolhida f);
std::optional<FonteEscolhida> deValorBruto(const QString &v);
// The label of the "Origem" menu for each source.
QString rotulo(FonteEscolhida f);
}

enum class TipoOrigem { quilvo, nuvem, dev };

struct NoAr {
    bool rec = false;
    bool cronometro = false;
    bool cr = false;
    bool ensaio = false;
    bool algum() const { return rec || cronometro || cr || ensaio; }
    bool operator==(const NoAr &) const = default;
};

// This machine's name on the local network: the host name's first label
// followed by ".local"; absent when the system gives no name.
namespace LinkDiretoNome {
std::optional<QString> nome();
// The rule itself, for a given host name.
std::optional<QString> deNomeDoHost(const QString &host);
}

struct Bancada {
    QUrl url;
    QString token;
};

class EstadoVarkelo : public QObject
{
    Q_OBJECT
public:
    // The three candidate addresses. The defaults are the real ones; tests
    // point them at loopback servers.
    struct Enderecos {
        QUrl local = QUrl(QStringLiteral("http://localhost:1440/"));
        QUrl nuvem = nuvemPadrao();
        QUrl dev = QUrl(QStringLiteral("http://localhost:1442/"));
    };

    // The cloud service's web app (VARKELO_NUVEM_URL overrides it for
    // deployments and demos) and its domain, which counts as "inside".
    static QUrl nuvemPadrao();
    static QString dominioDaNuvem();

    // Workbench mode, read from the environment once per process.
    static const std::optional<Bancada> &bancadaDoProcesso();
    // The rule, for a given environment.
    static std::optional<Bancada> lerBancada(const QString &url, bool temUrl, const QString &token);

    // "pagina.log" under the XDG state home ("~/.local/state/Varkelo").
    static QString arquivoDoDiario();
    static constexpr int maxLinhasDoDiario = 300;
    static constexpr qint64 maxBytesDoDiario = 512000;

    explicit EstadoVarkelo(QObject *parent = nullptr);
    EstadoVarkelo(Enderecos enderecos, std::optional<Bancada> bancada, QObject *parent = nullptr);

    const Enderecos &enderecos() const { return enderecos_; }
    const std::optional<Bancada> &bancada() const { return bancada_; }

    std::optional<QUrl> origem() const { return origem_; }
    bool viaQuilvo() const { return viaQuilvo_; }
    TipoOrigem tipoOrigem() const { return tipoOrigem_; }
    FonteEscolhida fonte() const { return fonte_; }
    QString temaId() const { return temaId_; }
    NoAr noAr() const { return noAr_; }
    bool carregando() const { return carregando_; }
    int recarregar() const { return recarregar_; }
    std::optional<QString> nomeLocal() const { return nomeLocal_; }
    const QStringList &diario() const { return diario_; }

    void setTemaId(const QString &id);
    void setCarregando(bool v);
    void pedirRecarga();

    QCoro::Task<void> decidirOrigem();
    void escolherFonte(FonteEscolhida nova);
    std::optional<QString> tokenDoQuilvo() const;
    void anotar(const QString &linha);
    void receber(const QVariantMap &mensagem);
    void fecharComCuidado();

    // "Agora: ..." line of the "Origem" menu.
    QString linhaAgora() const;
    // Title of the closing alert for these flags ("Gravando no ar").
    static QString tituloDoAlerta(const NoAr &n);
    static QString textoDoAlerta();

    // What the window layer provides. `pedidoDeJanela` acts on the target
    // window ("minimizar"/"telaCheia") and returns false when there is none;
    // `confirmarFechar` shows the warning and returns true for "Fechar";
    // `sair` quits the app.
    std::function<bool(const QString &acao)> pedidoDeJanela;
    std::function<bool(const QString &titulo, const QString &texto)> confirmarFechar;
    std::function<void()> sair;

    // Appends one record to the diary file (restarting it past 512000 bytes).
    static void gravarNoDiario(const QString &linha);

Q_SIGNALS:
    void origemMudou();
    void fonteMudou();
    void temaIdMudou();
    void noArMudou();
    void carregandoMudou();
    void recarregarMudou();
    void diarioMudou();

private:
    QCoro::Task<bool> responde(QUrl base);
    QCoro::Task<void> buscarTemaDaPessoa();
    void publicar(bool via, TipoOrigem tipo, const QUrl &url);

    Enderecos enderecos_;
    std::optional<Bancada> bancada_;
    std::optional<QUrl> origem_;
    bool viaQuilvo_ = false;
    TipoOrigem tipoOrigem_ = TipoOrigem::quilvo;
    FonteEscolhida fonte_ = FonteEscolhida::automatica;
    QString temaId_;
    NoAr noAr_;
    bool carregando_ = true;
    int recarregar_ = 0;
    std::optional<QString> nomeLocal_;
    QStringList diario_;
};
