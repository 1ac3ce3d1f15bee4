#include "Roteiros.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace Roteiros {

QStringList manipuladores()
{
    return {QStringLiteral("varkelo"), QStringLiteral("varkeloDiario"), QStringLiteral("varkeloImprimir"),
            QStringLiteral("varkeloArquivo")};
}

QString ponte()
{
    static const QString texto = [] {
        // The channel's client library ships inside Qt's resources; wrapped
        // in a function so that it adds nothing to the page's globals.
        QFile f(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        const QString biblioteca = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        QString nomes;
        for (const QString &n : manipuladores())
            nomes += QStringLiteral("'%1',").arg(n);
        return QStringLiteral(R"JS((function () {
  if (window.__varkeloPonte) return;
  var QWebChannel = (function () { var module = {}; %1
    return QWebChannel; })();
  var fila = [], ponte = null;
  function enviar(nome, json) { try { ponte.postar(nome, json); } catch (e) {} }
  var manipuladores = {};
  [%2].forEach(function (nome) {
    var m = {};
    Object.defineProperty(m, 'postMessage', { value: function (corpo) {
      var json = JSON.stringify(corpo === undefined ? null : corpo);
      if (json === undefined) json = 'null';
      if (ponte) enviar(nome, json); else fila.push([nome, json]);
    } });
    manipuladores[nome] = Object.freeze(m);
  });
  var webkit = window.webkit || {};
  try { Object.defineProperty(webkit, 'messageHandlers', { value: Object.freeze(manipuladores) }); } catch (e) {}
  try { Object.defineProperty(window, 'webkit', { value: webkit }); } catch (e) {}
  Object.defineProperty(window, '__varkeloPonte', { value: true });
  // The last link the person activated, so the app can tell a followed link
  // from a scripted navigation.
  document.addEventListener('click', function (ev) {
    var a = ev.target && ev.target.closest ? ev.target.closest('a[href], area[href]') : null;
    if (a) window.__varkeloClique = { href: a.href, quando: Date.now() };
  }, true);
  function ligar() {
    if (typeof qt === 'undefined' || !qt.webChannelTransport) { setTimeout(ligar, 5); return; }
    new QWebChannel(qt.webChannelTransport, function (canal) {
      ponte = canal.objects.%3;
      var pendentes = fila; fila = [];
      pendentes.forEach(function (m) { enviar(m[0], m[1]); });
    });
  }
  ligar();
})();)JS")
            .arg(biblioteca, nomes, nomeDaPonte());
    }();
    return texto;
}

QString diario()
{
    return QStringLiteral(R"JS((function () {
  var h = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.varkeloDiario;
  if (!h) return;
  function texto(p) {
    try {
      if (p && typeof p.stack === 'string' && p.stack.length > 0) return p.stack;
      if (p !== null && typeof p === 'object') return JSON.stringify(p);
      return String(p);
    } catch (e) {
      try { return String(p); } catch (e2) { return '?'; }
    }
  }
  function relatar(tag, partes) {
    try {
      var corpo = Array.prototype.map.call(partes, texto).join(' ').slice(0, 1200);
      h.postMessage(tag + ' ' + corpo);
    } catch (e) {}
  }
  window.addEventListener('error', function (ev) {
    relatar('ERRO', [String(ev.message) + ' @ ' + (ev.filename || '') + ':' + (ev.lineno || '')]);
  });
  window.addEventListener('unhandledrejection', function (ev) { relatar('PROMESSA', [ev.reason]); });
  ['error', 'warn'].forEach(function (nome) {
    var original = console[nome];
    console[nome] = function () {
      relatar(nome.toUpperCase(), arguments);
      return original.apply(console, arguments);
    };
  });
})();)JS");
}

QString imprimir()
{
    return QStringLiteral(R"JS((function () {
  var h = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.varkeloImprimir;
  if (!h) return;
  window.print = function () { try { h.postMessage('imprimir'); } catch (e) {} };
})();)JS");
}

QString acessibilidade(const PreferenciasDoSistema &p)
{
    const auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    return QStringLiteral("window.varkeloSistema = { menosTransparencia: ") + b(p.menosTransparencia)
           + QStringLiteral(", maisContraste: ") + b(p.maisContraste) + QStringLiteral(", menosMovimento: ")
           + b(p.menosMovimento)
           + QStringLiteral(" }; try { window.dispatchEvent(new Event('varkelo-sistema')); } catch (e) {}");
}

std::optional<QString> token(const QUrl &origem, const QString &token)
{
    QString o = origem.toString();
    while (o.startsWith(QLatin1Char('/')))
        o.remove(0, 1);
    while (o.endsWith(QLatin1Char('/')))
        o.chop(1);
    const auto codificar = [](const QString &v) -> std::optional<QString> {
        // Lone surrogates cannot travel as UTF-8 JSON.
        if (QString::fromUtf8(v.toUtf8()) != v)
            return std::nullopt;
        return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)) + QStringLiteral("[0]");
    };
    const std::optional<QString> jo = codificar(o), jt = codificar(token);
    if (!jo || !jt)
        return std::nullopt;
    return QStringLiteral("(function () { try { var o = %1; var t = %2; "
                          "if (location.origin === o && !window.localStorage.getItem('qlv_access_token')) "
                          "window.localStorage.setItem('qlv_access_token', t); } catch (e) {} })();")
        .arg(*jo, *jt);
}

QString classeDeTelaCheia(bool cheia)
{
    return QStringLiteral("document.documentElement.classList.toggle('em-tela-cheia', ") +
           (cheia ? QStringLiteral("true") : QStringLiteral("false")) + QStringLiteral(")");
}

} // namespace Roteiros
