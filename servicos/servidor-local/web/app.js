// Stand-in web app: drives every bridge of the Varkelo shell through the
// window.webkit.messageHandlers contract, and shows what the shell handed it.
(function () {
  'use strict';
  var h = (window.webkit && window.webkit.messageHandlers) || {};
  var claros = { 'theme-apple-light': true, 'theme-acessibilidade': true };
  var $ = function (id) { return document.getElementById(id); };

  function postar(nome, corpo) {
    if (!h[nome]) return false;
    try { h[nome].postMessage(corpo); return true; } catch (e) { return false; }
  }

  // The full on-air state travels with every state message.
  function estado(extra) {
    var m = { rec: $('rec').checked, cronometro: $('cronometro').checked, cr: $('cr').checked, ensaio: $('ensaio').checked };
    for (var k in extra || {}) m[k] = extra[k];
    return m;
  }
  function aplicarTema(id) { document.documentElement.classList.toggle('claro', !!claros[id]); }

  ['rec', 'cronometro', 'cr', 'ensaio'].forEach(function (id) {
    $(id).addEventListener('change', function () { postar('varkelo', estado()); });
  });
  $('tema').addEventListener('change', function () {
    aplicarTema(this.value);
    postar('varkelo', estado({ tema: this.value }));
  });

  $('diario').onclick = function () { console.warn('aviso da demonstração', { em: new Date().toISOString() }); };
  $('erro').onclick = function () { setTimeout(function () { throw new Error('erro de demonstração'); }); };
  $('imprimir').onclick = function () { window.print(); };
  $('copiar').onclick = function () {
    var texto = 'Copiado pelo app do set em ' + new Date().toISOString() + '\n';
    postar('varkeloArquivo', { acao: 'copiar', nome: 'copia do set.txt', dados: btoa(unescape(encodeURIComponent(texto))) });
  };
  $('popup').onclick = function () { window.open('/popup.html', 'janelinha', 'width=520,height=360'); };
  $('minimizar').onclick = function () { postar('varkelo', { janela: 'minimizar' }); };
  $('telaCheia').onclick = function () { postar('varkelo', { janela: 'telaCheia' }); };
  $('fechar').onclick = function () { postar('varkelo', { fechar: true }); };

  window.addEventListener('varkelo-arquivo', function (ev) {
    $('arquivo').textContent = JSON.stringify(ev.detail);
  });
  function mostrarSistema() {
    $('sistema').textContent = window.varkeloSistema ? JSON.stringify(window.varkeloSistema) : 'sem app';
  }
  window.addEventListener('varkelo-sistema', mostrarSistema);
  mostrarSistema();
  new MutationObserver(function () {
    $('cheia').textContent = document.documentElement.classList.contains('em-tela-cheia') ? 'sim' : 'não';
  }).observe(document.documentElement, { attributes: true, attributeFilter: ['class'] });
  $('cheia').textContent = 'não';

  $('ponte').textContent = h.varkelo ? 'Varkelo presente' : 'navegador comum';
  var token = null;
  try { token = localStorage.getItem('qlv_access_token'); } catch (e) {}
  $('token').textContent = token ? token.slice(0, 4) + '…' : 'nenhum';

  // Say hello with the current state, then say which theme the page uses.
  postar('varkelo', 'app do set carregado');
  postar('varkelo', estado());
})();
