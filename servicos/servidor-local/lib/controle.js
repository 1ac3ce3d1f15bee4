'use strict';
// Control channel for tests and demos, under "/__controle/", answered only
// to loopback clients. It keeps answering while the rest of the server hangs.
const { ErroHttp, responderJson, corpoObjeto } = require('./http');

function deLoopback(req) {
  const a = req.socket.remoteAddress || '';
  return a === '::1' || a.startsWith('127.') || a.startsWith('::ffff:127.');
}

function criarControle(contexto) {
  const { estado } = contexto;

  const post = {
    // Status fields: a value replaces the field, null removes it.
    // `quilvos` replaces the list of the set's servers.
    status(c) {
      for (const [k, v] of Object.entries(c)) {
        if (k === 'quilvos' && Array.isArray(v)) {
          estado.quilvos = v;
          delete estado.sobrescritas.quilvos;
        } else if ((k === 'build' || k === 'buildReal') && typeof v === 'string') {
          // Also what "/netinfo" announces.
          estado[k] = v;
          delete estado.sobrescritas[k];
        } else {
          estado.sobrescritas[k] = v;
        }
      }
      return { ok: true };
    },
    presenca(c) {
      estado.sessoes = Array.isArray(c.sessoes) ? c.sessoes : [];
      return { ok: true, sessoes: estado.sessoes.length };
    },
    // {ativo: true|false}: while on, every request outside this channel is
    // accepted and left unanswered; switching off answers the held ones.
    travar(c) {
      contexto.travar(c.ativo !== false);
      return { ok: true, travado: estado.travado };
    },
    // {ms, caminho?}: answer after a delay (every path, or only that one).
    atraso(c) {
      const ms = Number(c.ms) || 0;
      const chave = typeof c.caminho === 'string' ? c.caminho : '*';
      if (ms > 0) estado.atrasos[chave] = ms;
      else delete estado.atrasos[chave];
      return { ok: true };
    },
    // {caminho?, status, corpo?, tipo?, vezes?}: a canned answer for a path
    // (default the status endpoint), before any token check. status null
    // removes it.
    responder(c) {
      const caminho = typeof c.caminho === 'string' ? c.caminho : '/api/admin/status';
      if (c.status === null || c.status === undefined) {
        delete estado.respostas[caminho];
      } else {
        estado.respostas[caminho] = {
          status: Number(c.status),
          corpo: c.corpo === undefined ? null : c.corpo,
          tipo: typeof c.tipo === 'string' ? c.tipo : undefined,
          vezes: Number.isInteger(c.vezes) && c.vezes > 0 ? c.vezes : Infinity,
        };
      }
      return { ok: true };
    },
    // {codigo}: exit at once with that code, after this answer.
    cair(c, res) {
      const codigo = Number.isInteger(c.codigo) ? c.codigo : 1;
      contexto.registrar(`— saindo a pedido do controle (código ${codigo}) —`);
      res.on('finish', () => process.exit(codigo));
      return { ok: true, codigo };
    },
    restaurar() {
      contexto.restaurar();
      return { ok: true };
    },
    'requisicoes/limpar'() {
      estado.requisicoes = [];
      return { ok: true };
    },
  };

  const get = {
    estado() {
      return {
        pid: process.pid,
        porta: contexto.porta(),
        build: estado.build,
        travado: estado.travado,
        pendentes: estado.pendentes.length,
        sobrescritas: estado.sobrescritas,
        respostas: Object.fromEntries(Object.entries(estado.respostas)
          .map(([k, v]) => [k, { ...v, vezes: v.vezes === Infinity ? null : v.vezes }])),
        atrasos: estado.atrasos,
        sessoes: estado.sessoes,
      };
    },
    // The requests received (newest last), with their token and body.
    requisicoes() {
      return { requisicoes: estado.requisicoes };
    },
  };

  return function atender(req, res, url, bruto) {
    if (!deLoopback(req)) throw new ErroHttp(403, 'canal de controle só pela própria máquina');
    const nome = url.pathname.slice('/__controle/'.length).replace(/\/+$/, '');
    if (req.method === 'GET' && get[nome]) {
      responderJson(res, 200, get[nome]());
      return;
    }
    if (req.method === 'POST' && post[nome]) {
      const corpo = bruto && bruto.length ? corpoObjeto(bruto) : {};
      responderJson(res, 200, post[nome](corpo, res));
      return;
    }
    throw new ErroHttp(404, 'comando de controle desconhecido');
  };
}

module.exports = { criarControle, deLoopback };
