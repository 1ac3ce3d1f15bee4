// The web shell's state without any window: origin decision against loopback
// servers, the person's theme, the token file, the diary and page messages.
#include "Ambiente.h"
#include "EstadoVarkelo.h"
#include "Plataforma.h"
#include "ServidorDeTeste.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QRegularExpression>

Q_DECLARE_METATYPE(TipoOrigem)
Q_DECLARE_METATYPE(NoAr)

namespace {

QSettings ajustes() { return QSettings(QStringLiteral("Varkelo"), QStringLiteral("Varkelo")); }

void limparAjustes()
{
    QSettings s = ajustes();
    s.clear();
    s.sync();
}

void escreverToken(const QByteArray &conteudo)
{
    QDir().mkpath(QFileInfo(Plataforma::arquivoToken()).absolutePath());
    QFile f(Plataforma::arquivoToken());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo);
}

// Runs a coroutine to completion on the event loop.
void esperar(QCoro::Task<void> t, int ms = 10000)
{
    bool fim = false;
    auto embrulho = [](QCoro::Task<void> t, bool &fim) -> QCoro::Task<void> {
        co_await t;
        fim = true;
    }(std::move(t), fim);
    QTRY_VERIFY_WITH_TIMEOUT(fim, ms);
}

} // namespace

class TesteEstadoVarkelo : public QObject
{
    Q_OBJECT

    ServidorDeTeste local, dev;
    EstadoVarkelo::Enderecos enderecos;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(local.ouvir());
        QVERIFY(dev.ouvir());
        enderecos.local = QUrl(local.base());
        enderecos.dev = QUrl(dev.base());
        enderecos.nuvem = QUrl(QStringLiteral("https://app.exemplo.com.br/"));
    }

    void init()
    {
        limparAjustes();
        QFile::remove(Plataforma::arquivoToken());
        QFile::remove(EstadoVarkelo::arquivoDoDiario());
        local.pedidos.clear();
        dev.pedidos.clear();
        local.silenciar(false);
    }

    void decisao_data()
    {
        QTest::addColumn<QString>("fonte");       // stored setting; "" = none
        QTest::addColumn<int>("statusLocal");     // 0 = no such path
        QTest::addColumn<int>("statusDev");
        QTest::addColumn<TipoOrigem>("tipo");
        QTest::addColumn<bool>("via");
        QTest::addColumn<int>("sondasLocal");
        QTest::addColumn<int>("sondasDev");

        QTest::newRow("sem ajuste, Quilvo responde") << "" << 200 << 200 << TipoOrigem::quilvo << true << 1 << 0;
        QTest::newRow("valor desconhecido vale automatica") << "xyz" << 200 << 200 << TipoOrigem::quilvo << true << 1 << 0;
        QTest::newRow("204 não é resposta") << "automatica" << 204 << 0 << TipoOrigem::nuvem << false << 1 << 0;
        QTest::newRow("301 não é resposta") << "automatica" << 301 << 0 << TipoOrigem::nuvem << false << 1 << 0;
        QTest::newRow("500 não é resposta") << "automatica" << 500 << 0 << TipoOrigem::nuvem << false << 1 << 0;
        QTest::newRow("nuvem não sonda nada") << "nuvem" << 200 << 200 << TipoOrigem::nuvem << false << 0 << 0;
        QTest::newRow("dev responde") << "dev" << 200 << 200 << TipoOrigem::dev << false << 0 << 1;
        QTest::newRow("dev calado, Quilvo responde") << "dev" << 200 << 404 << TipoOrigem::quilvo << true << 1 << 1;
        QTest::newRow("dev e Quilvo calados") << "dev" << 404 << 404 << TipoOrigem::nuvem << false << 1 << 1;
    }

    void decisao()
    {
        QFETCH(QString, fonte);
        QFETCH(int, statusLocal);
        QFETCH(int, statusDev);
        QFETCH(TipoOrigem, tipo);
        QFETCH(bool, via);
        QFETCH(int, sondasLocal);
        QFETCH(int, sondasDev);

        if (!fonte.isEmpty())
            ajustes().setValue(QStringLiteral("fonte"), fonte);
        local.definir("/netinfo", statusLocal, "{}", "application/json");
        local.definir("/redirecionado/netinfo", 200, "{}");
        if (statusLocal == 301)
            local.definir("/netinfo", {301, {}, "text/plain", {{"Location", "/redirecionado/netinfo"}}});
        dev.definir("/netinfo", statusDev, "{}", "application/json");

        EstadoVarkelo e(enderecos, std::nullopt);
        QCOMPARE(e.origem(), std::nullopt);
        // Observers of the origin must already see the matching kind.
        std::optional<std::pair<TipoOrigem, bool>> vistoNaOrigem;
        connect(&e, &EstadoVarkelo::origemMudou, &e,
                [&] { vistoNaOrigem = std::pair{e.tipoOrigem(), e.viaQuilvo()}; });

        esperar(e.decidirOrigem());

        const QUrl esperada = tipo == TipoOrigem::quilvo ? enderecos.local
                              : tipo == TipoOrigem::dev  ? enderecos.dev
                                                         : enderecos.nuvem;
        QCOMPARE(e.origem(), std::optional<QUrl>(esperada));
        QCOMPARE(e.tipoOrigem(), tipo);
        QCOMPARE(e.viaQuilvo(), via);
        QVERIFY(vistoNaOrigem);
        QCOMPARE(vistoNaOrigem->first, tipo);
        QCOMPARE(vistoNaOrigem->second, via);
        QCOMPARE(local.contar("/netinfo"), sondasLocal);
        QCOMPARE(dev.contar("/netinfo"), sondasDev);
        QCOMPARE(local.contar("/redirecionado/netinfo"), 0);
        QVERIFY(e.carregando()); // the decision never touches it
    }

    void sondaSemRespostaEsperaUmSegundoEPouco()
    {
        local.silenciar(true);
        EstadoVarkelo e(enderecos, std::nullopt);
        QElapsedTimer t;
        t.start();
        esperar(e.decidirOrigem());
        QCOMPARE(e.tipoOrigem(), TipoOrigem::nuvem);
        QVERIFY2(t.elapsed() >= 1100 && t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
    }

    void portaFechadaVaiParaANuvem()
    {
        EstadoVarkelo::Enderecos fechado = enderecos;
        fechado.local = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(Ambiente::portaLivre()));
        EstadoVarkelo e(fechado, std::nullopt);
        esperar(e.decidirOrigem());
        QCOMPARE(e.origem(), std::optional<QUrl>(enderecos.nuvem));
    }

    void temaDaPessoa_data()
    {
        QTest::addColumn<QByteArray>("token");      // token file contents; "-" = no file
        QTest::addColumn<QByteArray>("resposta");
        QTest::addColumn<QString>("temaFinal");
        QTest::addColumn<int>("pedidosDeStatus");

        QTest::newRow("tema do catálogo") << QByteArray("abc+1&2\n") << QByteArray(R"({"tema":"theme-ocean","build":"7"})")
                                          << "theme-ocean" << 1;
        QTest::newRow("tema fora do catálogo") << QByteArray("abc") << QByteArray(R"({"tema":"theme-nada"})")
                                               << "theme-apple-dark" << 1;
        QTest::newRow("tema que não é texto") << QByteArray("abc") << QByteArray(R"({"tema":3})") << "theme-apple-dark" << 1;
        QTest::newRow("corpo que não é JSON") << QByteArray("abc") << QByteArray("<html>") << "theme-apple-dark" << 1;
        QTest::newRow("arquivo em branco") << QByteArray(" \n\t ") << QByteArray(R"({"tema":"theme-ocean"})")
                                           << "theme-apple-dark" << 0;
        QTest::newRow("sem arquivo") << QByteArray("-") << QByteArray(R"({"tema":"theme-ocean"})") << "theme-apple-dark" << 0;
    }

    void temaDaPessoa()
    {
        QFETCH(QByteArray, token);
        QFETCH(QByteArray, resposta);
        QFETCH(QString, temaFinal);
        QFETCH(int, pedidosDeStatus);

        if (token != "-")
            escreverToken(token);
        local.definir("/netinfo", 200);
        local.definir("/api/admin/status", 200, resposta, "application/json");
        EstadoVarkelo e(enderecos, std::nullopt);
        esperar(e.decidirOrigem());
        QCOMPARE(e.tipoOrigem(), TipoOrigem::quilvo);
        QCOMPARE(e.temaId(), temaFinal);
        QCOMPARE(local.contar("/api/admin/status"), pedidosDeStatus);
        if (pedidosDeStatus) {
            const QByteArray alvo = local.pedidos.last();
            QCOMPARE(alvo.split('?').value(1), "token=" + QUrl::toPercentEncoding(QString::fromUtf8(token.trimmed())));
        }
        // Adopting the person's theme also stores it.
        QCOMPARE(ajustes().value(QStringLiteral("tema")).toString(),
                 temaFinal == "theme-apple-dark" ? QString() : temaFinal);
        // The shell only reads the token file.
        QCOMPARE(QFile::exists(Plataforma::arquivoToken()), token != "-");
    }

    void tokenDoArquivo()
    {
        EstadoVarkelo e(enderecos, std::nullopt);
        QCOMPARE(e.tokenDoQuilvo(), std::nullopt);
        escreverToken("  tok-123 \r\n");
        QCOMPARE(e.tokenDoQuilvo(), std::optional<QString>(QStringLiteral("tok-123")));
    }

    void leituraDaBancada_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("temUrl");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("presente");

        QTest::newRow("completa") << "http://127.0.0.1:9/" << true << "t" << true;
        QTest::newRow("sem url") << "" << false << "t" << false;
        QTest::newRow("url vazia") << "" << true << "t" << false;
        QTest::newRow("url que não é url") << "http://[::1" << true << "t" << false;
        QTest::newRow("token vazio") << "http://127.0.0.1:9/" << true << "" << false;
    }

    void leituraDaBancada()
    {
        QFETCH(QString, url);
        QFETCH(bool, temUrl);
        QFETCH(QString, token);
        QFETCH(bool, presente);
        QCOMPARE(EstadoVarkelo::lerBancada(url, temUrl, token).has_value(), presente);
    }

    void bancadaFixaOrigemTokenENaoGuarda()
    {
        escreverToken("do-arquivo");
        const Bancada b{QUrl(QStringLiteral("http://127.0.0.1:9/app/")), QStringLiteral("da-bancada")};
        EstadoVarkelo e(enderecos, b);
        esperar(e.decidirOrigem());
        QCOMPARE(e.origem(), std::optional<QUrl>(b.url));
        QVERIFY(e.viaQuilvo());
        QCOMPARE(e.tipoOrigem(), TipoOrigem::quilvo);
        QCOMPARE(local.pedidos.size(), 0);
        QCOMPARE(e.tokenDoQuilvo(), std::optional<QString>(b.token));

        e.setTemaId(QStringLiteral("theme-ocean"));
        QCOMPARE(e.temaId(), QStringLiteral("theme-ocean"));
        QVERIFY(!ajustes().contains(QStringLiteral("tema")));

        e.anotar(QStringLiteral("linha da bancada"));
        QCOMPARE(e.diario(), QStringList{QStringLiteral("linha da bancada")});
        QVERIFY(!QFile::exists(EstadoVarkelo::arquivoDoDiario()));
    }

    void ajustesIniciais()
    {
        ajustes().setValue(QStringLiteral("fonte"), QStringLiteral("dev"));
        ajustes().setValue(QStringLiteral("tema"), QStringLiteral("theme-cinema"));
        EstadoVarkelo e(enderecos, std::nullopt);
        QCOMPARE(e.fonte(), FonteEscolhida::dev);
        QCOMPARE(e.temaId(), QStringLiteral("theme-cinema"));
        e.setTemaId(QStringLiteral("theme-ocean"));
        QCOMPARE(ajustes().value(QStringLiteral("tema")).toString(), QStringLiteral("theme-ocean"));
    }

    void escolherFonte()
    {
        local.definir("/netinfo", 200);
        EstadoVarkelo e(enderecos, std::nullopt);
        esperar(e.decidirOrigem());
        e.setCarregando(false);
        QCOMPARE(e.tipoOrigem(), TipoOrigem::quilvo);

        // The same choice with an origin present does nothing.
        QSignalSpy origem(&e, &EstadoVarkelo::origemMudou);
        e.escolherFonte(FonteEscolhida::automatica);
        QCOMPARE(origem.size(), 0);
        QVERIFY(!e.carregando());

        // Another choice clears the origin at once and decides again.
        e.escolherFonte(FonteEscolhida::nuvem);
        QCOMPARE(e.origem(), std::nullopt);
        QVERIFY(e.carregando());
        QCOMPARE(ajustes().value(QStringLiteral("fonte")).toString(), QStringLiteral("nuvem"));
        QTRY_COMPARE(e.origem(), std::optional<QUrl>(enderecos.nuvem));

        // While still deciding, the same choice starts a new decision.
        e.escolherFonte(FonteEscolhida::automatica);
        QCOMPARE(e.origem(), std::nullopt);
        e.escolherFonte(FonteEscolhida::automatica);
        QTRY_COMPARE(e.origem(), std::optional<QUrl>(enderecos.local));
        QCOMPARE(e.tipoOrigem(), TipoOrigem::quilvo);
    }

    void diarioEmMemoria()
    {
        EstadoVarkelo e(enderecos, std::nullopt);
        for (int i = 1; i <= 301; ++i)
            e.anotar(QStringLiteral("linha %1").arg(i));
        QCOMPARE(e.diario().size(), 300);
        QCOMPARE(e.diario().first(), QStringLiteral("linha 2"));
        QCOMPARE(e.diario().last(), QStringLiteral("linha 301"));
    }

    void arquivoDoDiario()
    {
        const QString caminho = EstadoVarkelo::arquivoDoDiario();
        QCOMPARE(caminho, QDir(qEnvironmentVariable("XDG_STATE_HOME")).filePath(QStringLiteral("Varkelo/pagina.log")));

        EstadoVarkelo e(enderecos, std::nullopt);
        e.anotar(QStringLiteral("ERRO boom @ app.js:3 — ã"));
        QFile f(caminho);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString texto = QString::fromUtf8(f.readAll());
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ ERRO boom @ app.js:3 — ã\\n$"))
                     .match(texto).hasMatch(),
                 qPrintable(texto));
    }

    void diarioRecomecaPassandoDoLimite_data()
    {
        QTest::addColumn<int>("tamanho");
        QTest::addColumn<bool>("recomeca");
        QTest::newRow("512000 bytes: acrescenta") << 512000 << false;
        QTest::newRow("512001 bytes: recomeça") << 512001 << true;
    }

    void diarioRecomecaPassandoDoLimite()
    {
        QFETCH(int, tamanho);
        QFETCH(bool, recomeca);
        const QString caminho = EstadoVarkelo::arquivoDoDiario();
        {
            QFile f(caminho);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(tamanho, 'x'));
        }
        EstadoVarkelo::gravarNoDiario(QStringLiteral("nova"));
        QFile f(caminho);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray tudo = f.readAll();
        QVERIFY(tudo.endsWith(" nova\n"));
        QCOMPARE(tudo.startsWith("xxxx"), !recomeca);
        QCOMPARE(tudo.size() > tamanho, !recomeca);
    }

    void receber_data()
    {
        QTest::addColumn<QVariantMap>("mensagem");
        QTest::addColumn<bool>("temJanela");
        QTest::addColumn<QString>("temaFinal");
        QTest::addColumn<bool>("rec");
        QTest::addColumn<bool>("ensaio");
        QTest::addColumn<QStringList>("acoes"); // window requests and quits seen

        const QVariantMap noAr{{"rec", true}, {"ensaio", true}};
        QTest::newRow("estado completo") << QVariantMap{{"tema", "theme-ocean"}, {"rec", true}, {"ensaio", true}} << true
                                         << "theme-ocean" << true << true << QStringList{};
        QTest::newRow("fechar false não fecha") << QVariantMap{{"fechar", false}, {"tema", "theme-ocean"}} << true
                                                << "theme-ocean" << false << false << QStringList{};
        QTest::newRow("fechar que não é booleano") << QVariantMap{{"fechar", "true"}, {"rec", "true"}} << true
                                                   << "theme-apple-dark" << false << false << QStringList{};
        QTest::newRow("fechar com nada no ar") << QVariantMap{{"fechar", true}, {"tema", "theme-ocean"}} << true
                                               << "theme-apple-dark" << false << false << QStringList{"sair"};
        QTest::newRow("janela com janela para tudo")
            << QVariantMap{{"janela", "telaCheia"}, {"tema", "theme-ocean"}, {"rec", true}} << true << "theme-apple-dark"
            << false << false << QStringList{"telaCheia"};
        QTest::newRow("janela sem janela segue adiante")
            << QVariantMap{{"janela", "minimizar"}, {"tema", "theme-ocean"}, {"rec", true}} << false << "theme-ocean"
            << true << false << QStringList{};
        QTest::newRow("janela que não é texto segue adiante")
            << QVariantMap{{"janela", 1}, {"ensaio", true}} << true << "theme-apple-dark" << false << true << QStringList{};
        QTest::newRow("tema fora do catálogo") << QVariantMap{{"tema", "Theme-Ocean"}} << true << "theme-apple-dark"
                                               << false << false << QStringList{};
    }

    void receber()
    {
        QFETCH(QVariantMap, mensagem);
        QFETCH(bool, temJanela);
        QFETCH(QString, temaFinal);
        QFETCH(bool, rec);
        QFETCH(bool, ensaio);
        QFETCH(QStringList, acoes);

        EstadoVarkelo e(enderecos, std::nullopt);
        // Something on air beforehand, so that clearing shows.
        e.receber({{"cr", true}});
        QVERIFY(e.noAr().cr);
        QStringList vistas;
        e.pedidoDeJanela = [&](const QString &acao) {
            if (temJanela)
                vistas << acao;
            return temJanela;
        };
        e.sair = [&] { vistas << QStringLiteral("sair"); };
        e.confirmarFechar = [&](const QString &, const QString &) {
            vistas << QStringLiteral("perguntou");
            return false;
        };
        const bool janelaPedida = mensagem.contains("janela") && temJanela
                                  && mensagem.value("janela").typeId() == QMetaType::QString;
        const bool fechou = mensagem.value("fechar").typeId() == QMetaType::Bool && mensagem.value("fechar").toBool();

        // A close with something on air would ask; start from a quiet state for it.
        if (fechou)
            e.receber({});
        e.receber(mensagem);
        QCOMPARE(e.temaId(), temaFinal);
        QCOMPARE(vistas, acoes);
        if (!janelaPedida && !fechou) {
            QCOMPARE(e.noAr().rec, rec);
            QCOMPARE(e.noAr().ensaio, ensaio);
            QCOMPARE(e.noAr().cr, false);
        }
    }

    void tituloDoAlerta_data()
    {
        QTest::addColumn<NoAr>("noAr");
        QTest::addColumn<QString>("titulo");
        QTest::newRow("cr sozinho") << NoAr{false, false, true, false} << "Cronômetro no ar";
        QTest::newRow("rec e ensaio") << NoAr{true, false, false, true} << "Gravando no ar";
        QTest::newRow("ensaio antes do cronômetro") << NoAr{false, true, true, true} << "Ensaio no ar";
        QTest::newRow("tempo correndo") << NoAr{false, true, true, false} << "Tempo correndo no ar";
    }

    void tituloDoAlerta()
    {
        QFETCH(NoAr, noAr);
        QFETCH(QString, titulo);
        QCOMPARE(EstadoVarkelo::tituloDoAlerta(noAr), titulo);
    }

    void fecharComCuidado()
    {
        EstadoVarkelo e(enderecos, std::nullopt);
        int saidas = 0;
        QStringList perguntas;
        bool aceitar = false;
        e.sair = [&] { ++saidas; };
        e.confirmarFechar = [&](const QString &t, const QString &x) {
            perguntas << t << x;
            return aceitar;
        };
        e.receber({{"cr", true}});
        e.receber({{"fechar", true}});
        QCOMPARE(saidas, 0);
        QCOMPARE(perguntas, (QStringList{QStringLiteral("Cronômetro no ar"),
                                         QStringLiteral("Fechar o Varkelo não para nada no set — o servidor continua. "
                                                        "Só esta tela sai. Fechar mesmo assim?")}));
        QVERIFY(e.noAr().cr); // declining keeps everything as it was
        aceitar = true;
        e.fecharComCuidado();
        QCOMPARE(saidas, 1);
    }

    void linhaAgora()
    {
        local.definir("/netinfo", 200);
        dev.definir("/netinfo", 200);
        EstadoVarkelo e(enderecos, std::nullopt);
        esperar(e.decidirOrigem());
        const std::optional<QString> nome = LinkDiretoNome::nome();
        QCOMPARE(e.linhaAgora(), QStringLiteral("Agora: Quilvo · ") + nome.value_or(QStringLiteral("este Mac")));
        e.escolherFonte(FonteEscolhida::dev);
        QTRY_VERIFY(e.origem());
        QCOMPARE(e.linhaAgora(), QStringLiteral("Agora: Desenvolvimento · localhost:1442"));
        e.escolherFonte(FonteEscolhida::nuvem);
        QTRY_VERIFY(e.origem());
        QCOMPARE(e.linhaAgora(), QStringLiteral("Agora: Nuvem · app.exemplo.com.br"));
    }

    void nomeLocal_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("nome"); // "" = absent
        QTest::newRow("simples") << "estudio" << "estudio.local";
        QTest::newRow("com domínio") << "estudio.casa.lan" << "estudio.local";
        QTest::newRow("vazio") << "" << "";
        QTest::newRow("só ponto") << "." << "";
    }

    void nomeLocal()
    {
        QFETCH(QString, host);
        QFETCH(QString, nome);
        QCOMPARE(LinkDiretoNome::deNomeDoHost(host).value_or(QString()), nome);
    }
};

QV_TESTE_SEM_GUI(TesteEstadoVarkelo)
#include "tst_estado_varkelo.moc"
