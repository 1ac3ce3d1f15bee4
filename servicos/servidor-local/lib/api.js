'use strict';
// The admin API ("/api/admin/...") and the local endpoints ("/api/local/...").
const crypto = require('crypto');
const {
  ErroHttp, responderJson, corpoObjeto, campoTexto, campoTextoOuNulo, campoBooleano,
} = require('./http');
const { escopoDisponivel } = require('./dados');

const DIA_MS = 24 * 60 * 60 * 1000;
const VALIDADE_TOKEN_DIAS = 30;

function criarApi(contexto) {
  const { dados, estado } = contexto;

  function autenticar(url) {
    const info = dados.resolverToken(url.searchParams.get('token'));
    if (!info) throw new ErroHttp(401, 'token inválido');
    if (info.expirado) throw new ErroHttp(401, 'token expirado');
    return info;
  }

  function exigirAdmin(info) {
    if (!info.podeAdministrar) throw new ErroHttp(403, 'este token não pode administrar');
  }

  // Reach checks against the token's own scope.
  function alcance(info) {
    const e = escopoDisponivel(info, dados);
    return {
      produtora: new Set(e.produtoras.map((x) => x.id)),
      nucleo: new Set(e.nucleos.map((x) => x.id)),
      projeto: new Set(e.projetos.map((x) => x.id)),
    };
  }

  function exigirAlcance(info, tipo, id) {
    if (info.global) return;
    if (!alcance(info)[tipo].has(id)) throw new ErroHttp(403, 'fora do escopo deste token');
  }

  const NAO_ENCONTRADO = {
    projeto: 'projeto não encontrado',
    produtora: 'produtora não encontrada',
    nucleo: 'núcleo não encontrado',
  };

  function exigirExiste(lista, id, tipo) {
    const item = lista.find((x) => x.id === id);
    if (!item) throw new ErroHttp(404, `${NAO_ENCONTRADO[tipo]}: ${id}`);
    return item;
  }

  function statusPara(info) {
    const s = {
      build: estado.build,
      conexoes: estado.sessoes.length,
      versao: estado.versao,
      ocioso: true,
      correndo: false,
      euSou: estado.euSou,
      podeEscolherQuilvo: true,
      quilvos: quilvosAtuais(),
    };
    if (estado.buildReal) s.buildReal = estado.buildReal;
    const tema = dados.temaDe(info);
    if (tema) s.tema = tema;
    // Test overrides: a value replaces the field, null removes it.
    for (const [k, v] of Object.entries(estado.sobrescritas)) {
      if (v === null) delete s[k];
      else s[k] = v;
    }
    return s;
  }

  // The set's servers with the meeting point pinned by hand applied.
  function quilvosAtuais() {
    const base = estado.quilvos || contexto.quilvosPadrao();
    const fixado = dados.local().quilvoFixado;
    const lista = base.map((q) => ({ ...q }));
    if (typeof fixado === 'string' && lista.some((q) => q && q.nodeId === fixado)) {
      for (const q of lista) {
        q.preferido = q.nodeId === fixado;
        q.fixado = q.nodeId === fixado;
      }
    } else {
      for (const q of lista) if (q && typeof q === 'object') q.fixado = false;
    }
    return lista;
  }

  // Project actions and assignments share this: project in reach, changed
  // in place, file rewritten.
  function mudarProjeto(info, projetoId, mudar) {
    exigirExiste(dados.projetos(), projetoId, 'projeto');
    exigirAlcance(info, 'projeto', projetoId);
    dados.mudarLista('projetos.json', (lista) => {
      const i = lista.findIndex((x) => x && x.id === projetoId);
      if (i < 0) throw new ErroHttp(404, `projeto não encontrado: ${projetoId}`);
      mudar(lista, i);
    });
  }

  function idNovo(prefixo, nome, existentes) {
    const base = `${prefixo}-${nome.normalize('NFD').replace(/[\u0300-\u036f]/g, '')
      .toLowerCase().replace(/[^a-z0-9]+/g, '-').replace(/^-|-$/g, '') || 'novo'}`;
    let id = base;
    for (let n = 2; existentes.has(id); n++) id = `${base}-${n}`;
    return id;
  }

  function normalizarItem(i, posicao) {
    if (!i || typeof i !== 'object' || Array.isArray(i)) {
      throw new ErroHttp(400, `escopo[${posicao}] deve ser um objeto`);
    }
    const chave = { produtora: 'produtoraId', nucleo: 'nucleoId', projeto: 'projetoId' }[i.tipo];
    if (!chave) throw new ErroHttp(400, `escopo[${posicao}]: tipo deve ser "produtora", "nucleo" ou "projeto"`);
    if (typeof i[chave] !== 'string' || i[chave] === '') {
      throw new ErroHttp(400, `escopo[${posicao}]: falta ${chave}`);
    }
    return { tipo: i.tipo, [chave]: i[chave] };
  }

  const rotas = {
    'GET /api/admin/status': ({ info }) => statusPara(info),

    'GET /api/admin/escopo-disponivel': ({ info }) => escopoDisponivel(info, dados),

    'GET /api/admin/presenca': () => ({ sessoes: estado.sessoes }),

    'POST /api/admin/criar-token': ({ info, corpo }) => {
      exigirAdmin(info);
      const nome = campoTexto(corpo, 'nome').trim();
      if (nome.length > 120) throw new ErroHttp(400, 'nome do token longo demais');
      if (!Array.isArray(corpo.escopo) || corpo.escopo.length === 0) {
        throw new ErroHttp(400, 'escolha ao menos um item de escopo');
      }
      const semValidade = corpo.semValidade === undefined ? false : campoBooleano(corpo, 'semValidade');
      const itens = corpo.escopo.map(normalizarItem);
      const listas = { produtora: dados.produtoras(), nucleo: dados.nucleos(), projeto: dados.projetos() };
      for (const i of itens) {
        const id = i.produtoraId || i.nucleoId || i.projetoId;
        if (!listas[i.tipo].some((x) => x.id === id)) throw new ErroHttp(400, `${i.tipo} não existe: ${id}`);
      }
      if (!info.global) {
        const a = alcance(info);
        for (const i of itens) {
          if (!a[i.tipo].has(i.produtoraId || i.nucleoId || i.projetoId)) {
            throw new ErroHttp(403, 'o escopo pedido vai além do escopo deste token');
          }
        }
      }
      const novo = `qv-${crypto.randomBytes(18).toString('base64url')}`;
      const agora = new Date();
      const registro = {
        nome,
        global: false,
        raiz: false,
        podeAdministrar: false,
        escopo: itens,
        criadoEm: agora.toISOString(),
        emitidoPor: info.pessoa || String(info.dados.nome || 'token'),
      };
      if (!semValidade) registro.expiraEm = new Date(agora.getTime() + VALIDADE_TOKEN_DIAS * DIA_MS).toISOString();
      dados.mudarTokens((mapa) => { mapa[novo] = registro; });
      return { ok: true, token: novo };
    },

    'POST /api/local/quilvo-preferido': ({ corpo }) => {
      if (statusPoderEscolher() !== true) throw new ErroHttp(403, 'este token não pode escolher o ponto de encontro');
      const nodeId = campoTextoOuNulo(corpo, 'nodeId');
      if (nodeId !== null && !quilvosAtuais().some((q) => q && q.nodeId === nodeId)) {
        throw new ErroHttp(404, `quilvo desconhecido: ${nodeId}`);
      }
      dados.mudarLocal((local) => {
        if (nodeId === null) delete local.quilvoFixado;
        else local.quilvoFixado = nodeId;
      });
      return { ok: true };
    },

    'POST /api/local/tema': ({ info, corpo }) => {
      const tema = campoTexto(corpo, 'tema').trim();
      if (tema.length > 80) throw new ErroHttp(400, 'identificador de tema longo demais');
      dados.definirTema(info, tema);
      return { ok: true };
    },

    'POST /api/admin/atribuir-projeto-produtora': ({ info, corpo }) => {
      exigirAdmin(info);
      const projetoId = campoTexto(corpo, 'projetoId');
      if (!('produtoraId' in corpo)) throw new ErroHttp(400, 'falta o campo "produtoraId" (texto ou null)');
      const produtoraId = campoTextoOuNulo(corpo, 'produtoraId');
      if (produtoraId !== null) {
        exigirExiste(dados.produtoras(), produtoraId, 'produtora');
        exigirAlcance(info, 'produtora', produtoraId);
      }
      mudarProjeto(info, projetoId, (lista, i) => {
        if (produtoraId === null) delete lista[i].produtoraId;
        else lista[i].produtoraId = produtoraId;
      });
      return { ok: true };
    },

    'POST /api/admin/atribuir-projeto-nucleo': ({ info, corpo }) => {
      exigirAdmin(info);
      const projetoId = campoTexto(corpo, 'projetoId');
      if (!('nucleoId' in corpo)) throw new ErroHttp(400, 'falta o campo "nucleoId" (texto ou null)');
      const nucleoId = campoTextoOuNulo(corpo, 'nucleoId');
      if (nucleoId !== null) {
        exigirExiste(dados.nucleos(), nucleoId, 'nucleo');
        exigirAlcance(info, 'nucleo', nucleoId);
      }
      mudarProjeto(info, projetoId, (lista, i) => {
        if (nucleoId === null) delete lista[i].nucleoId;
        else lista[i].nucleoId = nucleoId;
      });
      return { ok: true };
    },

    'POST /api/admin/definir-produtora-ativa': ({ info, corpo }) => {
      exigirAdmin(info);
      const id = campoTexto(corpo, 'produtoraId');
      const ativa = campoBooleano(corpo, 'ativa');
      mudarGrupo(info, 'produtoras.json', 'produtora', id, (lista, i) => { lista[i].ativo = ativa; });
      return { ok: true };
    },

    'POST /api/admin/definir-nucleo-ativo': ({ info, corpo }) => {
      exigirAdmin(info);
      const id = campoTexto(corpo, 'nucleoId');
      const ativo = campoBooleano(corpo, 'ativo');
      mudarGrupo(info, 'nucleos.json', 'nucleo', id, (lista, i) => { lista[i].ativo = ativo; });
      return { ok: true };
    },

    'POST /api/admin/arquivar-projeto': ({ info, corpo }) => {
      exigirAdmin(info);
      mudarProjeto(info, campoTexto(corpo, 'projetoId'), (lista, i) => { lista[i].arquivado = true; });
      return { ok: true };
    },

    'POST /api/admin/restaurar-projeto': ({ info, corpo }) => {
      exigirAdmin(info);
      mudarProjeto(info, campoTexto(corpo, 'projetoId'), (lista, i) => { lista[i].arquivado = false; });
      return { ok: true };
    },

    'POST /api/admin/apagar-projeto': ({ info, corpo }) => {
      exigirAdmin(info);
      mudarProjeto(info, campoTexto(corpo, 'projetoId'), (lista, i) => { lista.splice(i, 1); });
      return { ok: true };
    },

    'POST /api/admin/apagar-produtora': ({ info, corpo }) => {
      exigirAdmin(info);
      const id = campoTexto(corpo, 'produtoraId');
      dados.lerParaMudar('projetos.json', []); // refuse before changing anything
      mudarGrupo(info, 'produtoras.json', 'produtora', id, (lista, i) => { lista.splice(i, 1); });
      soltarProjetos('produtoraId', id);
      return { ok: true };
    },

    'POST /api/admin/apagar-nucleo': ({ info, corpo }) => {
      exigirAdmin(info);
      const id = campoTexto(corpo, 'nucleoId');
      dados.lerParaMudar('projetos.json', []); // refuse before changing anything
      mudarGrupo(info, 'nucleos.json', 'nucleo', id, (lista, i) => { lista.splice(i, 1); });
      soltarProjetos('nucleoId', id);
      return { ok: true };
    },

    'POST /api/admin/criar-nucleo': ({ info, corpo }) => {
      exigirAdmin(info);
      const nome = campoTexto(corpo, 'nome').trim();
      if (nome.length > 80) throw new ErroHttp(400, 'nome do núcleo longo demais');
      const id = dados.mudarLista('nucleos.json', (lista) => {
        if (lista.some((x) => x && String(x.nome).toLocaleLowerCase('pt-BR') === nome.toLocaleLowerCase('pt-BR'))) {
          throw new ErroHttp(409, `já existe um núcleo chamado ${nome}`);
        }
        const novo = idNovo('nuc', nome, new Set(lista.map((x) => x && x.id)));
        lista.push({ id: novo, nome, ativo: true });
        return novo;
      });
      // A limited administrator keeps seeing what it created.
      if (!info.global && info.origem === 'tokens') {
        dados.mudarTokens((mapa) => {
          const d = mapa[info.token];
          if (d && typeof d === 'object' && Array.isArray(d.escopo)) d.escopo.push({ tipo: 'nucleo', nucleoId: id });
        });
      }
      return { ok: true, id };
    },
  };

  function statusPoderEscolher() {
    return 'podeEscolherQuilvo' in estado.sobrescritas ? estado.sobrescritas.podeEscolherQuilvo : true;
  }

  function mudarGrupo(info, arquivo, tipo, id, mudar) {
    exigirExiste(dados.lista(arquivo), id, tipo);
    exigirAlcance(info, tipo, id);
    dados.mudarLista(arquivo, (lista) => {
      const i = lista.findIndex((x) => x && x.id === id);
      if (i < 0) throw new ErroHttp(404, `${NAO_ENCONTRADO[tipo]}: ${id}`);
      mudar(lista, i);
    });
  }

  // Projects of a deleted producer or núcleo are left without one.
  function soltarProjetos(chave, id) {
    if (!dados.projetos().some((p) => p[chave] === id)) return;
    dados.mudarLista('projetos.json', (lista) => {
      for (const p of lista) if (p && p[chave] === id) delete p[chave];
    });
  }

  const caminhos = new Set(Object.keys(rotas).map((k) => k.split(' ')[1]));

  // Answers a request under /api/. Returns false for paths it does not own.
  function atender(req, res, url, bruto) {
    const chave = `${req.method} ${url.pathname}`;
    const rota = rotas[chave];
    if (!rota) {
      if (caminhos.has(url.pathname)) throw new ErroHttp(405, 'método não permitido');
      throw new ErroHttp(404, 'rota desconhecida');
    }
    const info = autenticar(url);
    const corpo = req.method === 'POST' ? corpoObjeto(bruto) : undefined;
    responderJson(res, 200, rota({ info, corpo, url }));
    return true;
  }

  return { atender, statusPara, quilvosAtuais };
}

module.exports = { criarApi };
